#pragma once

// Gives assistive technology its view of the program's own kinds of control: a Form as a frame,
// an EditBox's text as one run of attributes, a PaintBox as a chart that says where it stands.
// Call once the application object exists.
void installAccessibility();
