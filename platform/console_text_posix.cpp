#include "platform/console_text.h"

#include <iconv.h>

std::string ToConsoleText(const std::string& narrow) {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return narrow;
    }
    std::string out(narrow.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(narrow.data());
    size_t inLeft = narrow.size();
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    // A byte that is no GBK character is passed on as it is.
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            if (outLeft == 0) {
                break;
            }
            *outPtr++ = *in++;
            --inLeft;
            --outLeft;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}
