#pragma once

namespace sv {

// Choices a front end makes for a load; the readers take them without knowing who asks.
struct LoadOptions {
    // An IMD load leaves a one-line side log beside the image (NAME.log), but never replaces a
    // file there that is not such a log.
    bool imdSideLog = false;
};

}  // namespace sv
