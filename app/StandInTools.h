#pragma once

// Stand-ins for the drawing tools, until they land: each keeps its class name
// and does nothing.
#include "tools/Toutil.h"

#define VELMORA_STAND_IN_TOOL(Name)                                                   \
    class Name : public TOutil {                                                      \
    public:                                                                           \
        Name(TBitmap* b, std::uint8_t** m) : TOutil(b, m) {}                          \
        void Clic(int, int, TMouseButton, TCanvas*) override {}                       \
        void Trace(int*, int*, int, int, TMouseButton, TCanvas*) override {}          \
    };

VELMORA_STAND_IN_TOOL(TGomme)
VELMORA_STAND_IN_TOOL(TPinceau)
VELMORA_STAND_IN_TOOL(TTexte)
VELMORA_STAND_IN_TOOL(TPipette)
VELMORA_STAND_IN_TOOL(TPot)
VELMORA_STAND_IN_TOOL(TSelectRect)
VELMORA_STAND_IN_TOOL(TRectangle)
VELMORA_STAND_IN_TOOL(TLine)
VELMORA_STAND_IN_TOOL(TCercle)

#undef VELMORA_STAND_IN_TOOL
