#ifndef APPLICATIONIDENTITY_H
#define APPLICATIONIDENTITY_H

// The name under which the desktop lists the program outside its own windows: in a panel's list
// of tray items, and among the window classes.
namespace ApplicationIdentity {

// Called once the application object exists, before the tray icon is made.
void apply();

} // namespace ApplicationIdentity

#endif // APPLICATIONIDENTITY_H
