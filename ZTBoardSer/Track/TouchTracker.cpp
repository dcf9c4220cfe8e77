#include "TouchTracker.h"

#include <cstddef>

// Placeholder: ids by position in the frame, nothing lost.
CTouchTracker::CTouchTracker() {}
void CTouchTracker::Track(std::vector<TrackPoint>& list)
{
    for (size_t i = 0; i < list.size(); ++i)
        list[i].id = (int)i;
}
