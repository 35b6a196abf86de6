"""A stand-in for rtkit on a system bus of a test's own: it answers as rtkit answers and does
what rtkit does for a desktop's sound clients. It grants a thread real time only to a process
that has limited its real-time CPU time (RLIMIT_RTTIME), only for the caller's own thread and
only up to its highest priority, and then sets the thread's scheduling itself, as root. It
prints a line for each request: "granted PID THREAD PRIORITY" or "refused PID THREAD: why".

Usage: rtkit_stand_in.py BUS_ADDRESS (run as root)."""

import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.RealtimeKit1"
PATH = "/org/freedesktop/RealtimeKit1"
PROPERTIES = {"MaxRealtimePriority": dbus.Int32(20), "MinNiceLevel": dbus.Int32(-15),
              "RTTimeUSecMax": dbus.Int64(200000)}
INTROSPECTION = """<node>
 <interface name="org.freedesktop.RealtimeKit1">
  <method name="MakeThreadRealtime">
   <arg name="thread" type="t" direction="in"/><arg name="priority" type="u" direction="in"/>
  </method>
  <property name="MaxRealtimePriority" type="i" access="read"/>
  <property name="MinNiceLevel" type="i" access="read"/>
  <property name="RTTimeUSecMax" type="x" access="read"/>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get">
   <arg name="interface" type="s" direction="in"/><arg name="property" type="s" direction="in"/>
   <arg name="value" type="v" direction="out"/>
  </method>
  <method name="GetAll">
   <arg name="interface" type="s" direction="in"/>
   <arg name="properties" type="a{sv}" direction="out"/>
  </method>
 </interface>
</node>"""


class Refused(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.DBus.Error.AccessDenied"


def rt_time_limit(pid):
    """The process's hard RLIMIT_RTTIME in microseconds, None where unlimited."""
    with open("/proc/%d/limits" % pid) as limits:
        for line in limits:
            if line.startswith("Max realtime timeout"):
                hard = line.split()[4]
                return None if hard == "unlimited" else int(hard)


class RealtimeKit(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return INTROSPECTION

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss",
                         out_signature="v")
    def Get(self, interface, name):
        return PROPERTIES[name]

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="s",
                         out_signature="a{sv}")
    def GetAll(self, interface):
        return PROPERTIES

    @dbus.service.method(NAME, in_signature="tu", sender_keyword="sender")
    def MakeThreadRealtime(self, thread, priority, sender):
        pid = int(self.bus.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                                         "s", (sender,)))
        why = None
        limit = rt_time_limit(pid)
        if limit is None or limit > PROPERTIES["RTTimeUSecMax"]:
            why = "RLIMIT_RTTIME is %s" % limit
        elif priority > PROPERTIES["MaxRealtimePriority"]:
            why = "priority %d is too high" % priority
        elif not os.path.exists("/proc/%d/task/%d" % (pid, thread)):
            why = "not the caller's thread"
        if why:
            print("refused %d %d: %s" % (pid, thread, why), flush=True)
            raise Refused(why)
        os.sched_setscheduler(thread, os.SCHED_FIFO | os.SCHED_RESET_ON_FORK,
                              os.sched_param(priority))
        print("granted %d %d %d" % (pid, thread, priority), flush=True)


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(sys.argv[1])
    service, name = RealtimeKit(bus), dbus.service.BusName(NAME, bus)  # noqa: F841 (kept)
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
