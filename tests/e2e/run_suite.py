"""Runs one suite of end-to-end tests, as `python3 run_suite.py test_window`, with a deadline
for each test (TEST_SECONDS, default 300). A test still running then fails there and then:
its stack and every other thread's are printed, and its clean-up runs, so that what it
started ends with it. Behind that, the suite as a whole prints where it hangs before CTest's
own time-out (WATCHDOG_SECONDS) would end it without a word."""

import faulthandler
import os
import signal
import sys
import unittest

from waits import arm_watchdog

SECONDS = int(os.environ.get("TEST_SECONDS", "300"))


class Overdue(AssertionError):
    pass


def overdue(signum, frame):
    faulthandler.dump_traceback(all_threads=True)
    raise Overdue("the test still ran after %d s (TEST_SECONDS); where each thread was is "
                  "printed above" % SECONDS)


class DeadlineResult(unittest.TextTestResult):
    """Arms the deadline as each test starts (before its setUp) and disarms it once its
    clean-up has run."""

    def startTest(self, test):
        super().startTest(test)
        signal.alarm(SECONDS)

    def stopTest(self, test):
        signal.alarm(0)
        super().stopTest(test)


if __name__ == "__main__":
    arm_watchdog()
    signal.signal(signal.SIGALRM, overdue)
    runner = unittest.TextTestRunner(verbosity=2, resultclass=DeadlineResult)
    unittest.main(module=None, argv=[sys.argv[0]] + sys.argv[1:], testRunner=runner)
