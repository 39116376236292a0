#pragma once

// Cursor values of the screen object.
constexpr int crDefault = 0;
constexpr int crArrow = -2;
constexpr int crHourGlass = -11;

// The screen: its size in pixels and the cursor shown over the whole program.
class TScreen {
public:
    int Width() const;
    int Height() const;
    int Cursor() const { return cursor_; }
    // Any value but crDefault overrides the cursor everywhere in the program,
    // edit fields included; crDefault gives each widget its own cursor back.
    void SetCursor(int cursor);

private:
    int cursor_ = crDefault;
};

extern TScreen* Screen;
