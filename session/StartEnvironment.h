#ifndef STARTENVIRONMENT_H
#define STARTENVIRONMENT_H

#include <QProcessEnvironment>

// The environment the user started the program with. The program sets variables for the toolkit's
// sake (the platform, the shell integration, an unreachable session bus) that are meant for itself
// alone: the processes it starts get this snapshot, whatever its own environment then holds.
namespace StartEnvironment {

// Takes the snapshot unless one was taken: first thing in main, and before any variable is set.
void take();
// Takes it again from the environment as it is now, for a new start within one process (tests).
void retake();

// The snapshot, without what the program consumes at start: a handed Wayland connection, which
// is the program's alone, and the startup notification and activation tokens, which are spent
// once the program shows itself.
QProcessEnvironment forChildren();

} // namespace StartEnvironment

#endif // STARTENVIRONMENT_H
