#pragma once

// Creates the eight forms in their fixed order, each in its global pointer;
// only the main palette is shown.
void CreateForms();
// Destroys them in the opposite order and clears the pointers.
void DestroyForms();

// Starts the editor: the application object, its title, the forms, the event
// loop. Returns 0.
int RunVelmora(int argc, char** argv);
