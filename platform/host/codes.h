// The codes that cross the host seam: the keys a host reports, and the kinds and answers of the
// message boxes it shows. The stand-in maps them to and from the Windows codes the system sees;
// a host needs nothing but this header and host.h.
#pragma once

namespace host {

// Keys, in Event::vk. Letters and digits are their upper-case characters ('A' to 'Z', '0' to
// '9'); the others are named here. The numbers are those Windows gives the same virtual keys, so
// that the page's table (platform/host/web/page/page.js) and a test's script can be checked
// against Windows' documentation.
namespace key {
constexpr int kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11, kAlt = 0x12;
constexpr int kPause = 0x13, kCapsLock = 0x14, kEscape = 0x1B, kSpace = 0x20;
constexpr int kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23, kHome = 0x24;
constexpr int kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kInsert = 0x2D, kDelete = 0x2E;
constexpr int kF1 = 0x70, kF12 = 0x7B;  // F1 to F12 in order
}  // namespace key

// A message box: the buttons it offers, and which of them the user chose (None: the box could
// not be shown). The answers' numbers are the ones the page's dialog hands back.
enum class BoxButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class BoxAnswer { None = 0, Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

}  // namespace host
