#pragma once

// Starts the editor: the application object, its title, the forms, the event loop.
int RunVelmora(int argc, char** argv);
