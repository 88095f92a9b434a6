// The two pictures every bench draws, from the same seed:
//
//   heavy:   ten elements, one of each kind, 72 reflections, full-screen tiling, translucent
//   default: three elements (a line, a Bezier, a circle), 12 reflections
#pragma once

#include "elements/ElementsGL_.h"

#include <cstdint>
#include <initializer_list>

namespace lumivex::bench {

inline void MakePicture(TElementList& list, std::initializer_list<TElement*> elements,
                        TNumOfReflections reflections, bool fullScreen, bool alpha) {
    SetRandSeed(20240601);
    for (TElement* element : elements) {
        element->SetAlpha(alpha);
        element->SetNumOfReflections(reflections);
        element->SetFullScreen(fullScreen);
        element->Prepare();
        list.Add(element);
    }
}

inline void MakeHeavyPicture(TElementList& list) {
    MakePicture(list,
                {new TLine, new TLine2, new TLine3, new TBezier, new TBezier2, new TCircle,
                 new TCircle2, new TCircle3, new TTriangle, new TTriangle2},
                72, true, true);
}

inline void MakeDefaultPicture(TElementList& list) {
    MakePicture(list, {new TLine, new TBezier, new TCircle}, 12, false, false);
}

// One animation frame of the elements, as the view runs it (without the second move of tiling).
inline void MoveAndDraw(TElementList& list) {
    for (std::int32_t i = 0; i < list.Count(); ++i)
        list.Get(i)->Move();
    for (std::int32_t i = 0; i < list.Count(); ++i)
        list.Get(i)->Draw();
}

} // namespace lumivex::bench
