#pragma once

#include <QByteArray>

class TApplication;
class TRecovery;

// Creates the eight forms in their fixed order, each in its global pointer;
// only the main palette is shown.
void CreateForms();
// Destroys them in the opposite order and clears the pointers.
void DestroyForms();

// Qt's French translation and the French locale, whatever the environment;
// the program ends only when the main palette closes.
void PrepareApplication(TApplication& app);

// Offers the recovery copies that programs no longer running left behind:
// "Récupérer" opens each as a changed image, "Supprimer" deletes them, "Plus
// tard" keeps them for the next start. Damaged copies are reported and
// skipped. Asks nothing when there are none.
void OfferRecovery(TRecovery& recovery);

// Chooses Qt's window system for this session: in a Wayland session, X11
// through Xwayland (so that the palette is placed and kept on top), native
// Wayland when the session has no X display; otherwise the user's
// QT_QPA_PLATFORM or Qt's default, "wayland" falling back to X11. Returns
// QT_QPA_PLATFORM's value before the choice.
QByteArray ChooseWindowSystem();

// Starts the editor: the application object, its title, the forms, the event
// loop. The files named in the arguments open, each in its own window; then
// the recovery copies left by a program that stopped are offered. Returns 0.
int RunVelmora(int argc, char** argv);
