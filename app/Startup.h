#pragma once

class TApplication;

// Creates the eight forms in their fixed order, each in its global pointer;
// only the main palette is shown.
void CreateForms();
// Destroys them in the opposite order and clears the pointers.
void DestroyForms();

// Qt's French translation and the French locale, whatever the environment;
// the program ends only when the main palette closes.
void PrepareApplication(TApplication& app);

// Starts the editor: the application object, its title, the forms, the event
// loop. The files named in the arguments open, each in its own window.
// Returns 0.
int RunVelmora(int argc, char** argv);
