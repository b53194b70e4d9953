#ifndef DISPLAYPLATFORM_H
#define DISPLAYPLATFORM_H

// The windowing system the program speaks. On Linux: a layer surface where the Wayland compositor
// offers one, X11 otherwise (through XWayland in a Wayland session), unless the user chose a
// platform (QT_QPA_PLATFORM, or -platform on the command line).
namespace DisplayPlatform {

// Called before the application object is made; may set QT_QPA_PLATFORM and
// QT_WAYLAND_SHELL_INTEGRATION for it, which the processes the program starts never see
// (StartEnvironment). False, after one line naming the problem, when no display can be reached:
// the application object would abort the program.
bool chooseBeforeApplication(int argc, char *argv[]);

// Writes one line saying which display the program took and why; called once the program knows
// that it is the one instance, since a second start says nothing.
void sayWhichDisplay();

} // namespace DisplayPlatform

#endif // DISPLAYPLATFORM_H
