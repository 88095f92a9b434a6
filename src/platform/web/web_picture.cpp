// The page's link to its picture: whenever the view makes a new picture or changes its pace, the
// link in the corner gets the page's address with the options that make that picture again, and
// the same picture as a command line of the Linux program. It shows with the cursor.
#include "platform/options/hack_options.h"
#include "platform/web/web_page.h"
#include "platform/web/web_platform.h"

namespace lumivex {

void WebPlatform::PictureChanged(const PictureState& picture) {
    // Empty for a picture no options can give: the page then offers none.
    PageSetPictureLink(PictureAddress(picture).c_str(), PictureCommandLine(picture).c_str());
}

} // namespace lumivex
