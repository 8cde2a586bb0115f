// Going back through a run: Page Up shows the picture before the one on view
// again, Page Down (or a click, or a key) goes on. The run keeps the names
// of the pictures it has shown, in the order they were shown, and never the
// pictures themselves; going back shows a name from that list again, going
// forward after that walks the list up to the newest name, and only then
// does the run go on to pictures it has not shown yet. Page Up on the first
// picture shows that one again.
//
// A name counts as shown when its picture reached the screen and was ended
// by the user or the time-out (result 0 or CODE_NEXT); a file that failed is
// not in the list, so stepping back passes over it.
#pragma once

#include <cstdint>

#include "display/picture_step.h"

namespace lanterna {

class ShownPictures {
public:
    ShownPictures() = default;
    ~ShownPictures();
    ShownPictures(const ShownPictures&) = delete;
    ShownPictures& operator=(const ShownPictures&) = delete;

    // Keeps a copy of `name` with the caller's `place` for it (the number of
    // a selection, say) and which picture of the file it is. False when
    // there is no memory for it: the list then goes on without that name.
    bool Add(const char* name, int32_t place, int32_t picture = 0);
    int32_t Count() const { return count_; }
    const char* Name(int32_t i) const { return entries_[i].name; }
    int32_t Place(int32_t i) const { return entries_[i].place; }
    int32_t Picture(int32_t i) const { return entries_[i].picture; }

private:
    struct Entry {
        char* name;
        int32_t place;
        int32_t picture;
    };
    Entry* entries_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
};

// Shows picture `picture` of one name: `result` is the picture's result
// code and `step` the way the user asked to go on; false ends the run.
using ShowEntry = bool (*)(void* context, const char* name, int32_t place, int32_t picture, int32_t& result,
                           PictureStep& step);

// Shows picture `picture` of `name` (at `place`), then goes back and forth
// through `shown` as the user asks with Page Up and Page Down, until the
// user goes on past it (true) or `show` ends the run (false).
bool ShowGoingBack(ShownPictures& shown, const char* name, int32_t place, int32_t picture, ShowEntry show,
                   void* context);

}  // namespace lanterna
