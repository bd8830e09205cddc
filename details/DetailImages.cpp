#include "details/DetailImages.h"

#include <QtGlobal>

static void initDetailImages()
{
    Q_INIT_RESOURCE(tanvill_details_images);
}

namespace tanvill {

void loadDetailImages()
{
    static const bool loaded = [] {
        initDetailImages();
        return true;
    }();
    Q_UNUSED(loaded);
}

} // namespace tanvill
