#ifndef DISPLAYPLATFORM_H
#define DISPLAYPLATFORM_H

// The windowing system the program speaks. On Linux it speaks X11, where the companion's reports
// arrive as client messages, so under a Wayland session it runs through XWayland unless the user
// chose a platform (QT_QPA_PLATFORM, or -platform on the command line).
namespace DisplayPlatform {

// Called before the application object is made; may set QT_QPA_PLATFORM for it. False, after one
// line naming the problem, when no display can be reached: the application object would abort
// the program.
bool chooseBeforeApplication(int argc, char *argv[]);

// Writes one line saying which display the program took and why; called once the program knows
// that it is the one instance, since a second start says nothing.
void sayWhichDisplay();

// Called once the application object exists: puts QT_QPA_PLATFORM back as it was, so that the
// processes the program starts inherit the user's environment. What Qt reads only as it shows its
// first window (QT_WAYLAND_DISABLE_WINDOWDECORATION on Wayland) goes back once a window is exposed.
void restoreEnvironment();

} // namespace DisplayPlatform

#endif // DISPLAYPLATFORM_H
