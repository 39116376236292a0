#pragma once

// Mouse buttons as the document window hands them to the tools.
enum TMouseButton : int { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// Held buttons during a move.
enum TShiftFlag : unsigned { ssLeft = 1u << 0, ssRight = 1u << 1, ssMiddle = 1u << 2 };
using TShiftState = unsigned;
