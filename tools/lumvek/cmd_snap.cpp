// lumvek snap
#include <cstdio>
#include <string>

#include "LumvekSdk.h"
#include "command_support.h"
#include "commands.h"
#include "failure.h"
#include "picture_format.h"
#include "product_commands.h"
#include "sdk_errors.h"

namespace lumvek::tool {

namespace {

constexpr int kMaxCount = 100000;

constexpr const char* kSnapHelp =
    "usage: lumvek snap -o FILE [--format F] [--mode BITS] [--count N] [camera options]\n"
    "\n"
    "Takes N pictures (default 1) through the SDK's image pipeline and saves each.\n"
    "\n"
    "  -o, --output FILE  the picture; with --count above 1, FILE_0001.ext, FILE_0002.ext ...\n"
    "  --format F         bmp, raw, jpeg100 (jpg), jpeg70, jpeg20, png or tiff (tif);\n"
    "                     default: from the extension (.bmp .raw .jpg .jpeg .png .tif .tiff)\n"
    "  --mode BITS        colour mode: 8 or 16 (monochrome), 24, 32, 48 or 64 (colour);\n"
    "                     default: the camera's current mode\n"
    "  --count N          number of pictures\n"
    "  --mask FILE        load this mask file and correct the pictures with it\n"
    "                     (the mask filter; see lumvek mask)\n";

} // namespace

int runSnap(const Args& words) {
    if (wantsProduct(words)) return runProductSnap(words);
    const auto specs = cameraOptionSpecs(
        {{"output", 'o', true}, {"format", 0, true}, {"mode", 0, true}, {"count", 0, true}, {"mask", 0, true}});
    const ParsedArgs args = parseArgs(words, specs, "snap");
    if (helpRequested(args, (std::string(kSnapHelp) + "\n" + kCameraOptionsHelp).c_str())) return kExitOk;
    requireOperands(args, 0, 0, "snap");
    const CameraOptions options = cameraOptionsFrom(args, "snap");
    const auto output = args.value("output");
    if (!output) usageError("snap: -o FILE is required");

    std::optional<PictureFormat> format;
    if (const auto name = args.value("format")) {
        format = formatByName(*name);
        if (!format) usageError("snap: unknown format '" + *name + "' (bmp, raw, jpeg100 or jpg, jpeg70, jpeg20, png, tiff or tif)");
    } else {
        format = formatByExtension(*output);
        if (!format) usageError("snap: cannot tell the format from '" + *output + "'; give --format");
    }
    std::optional<int> mode;
    if (const auto text = args.value("mode")) {
        mode = requireInteger(*text, "snap: --mode", 8, 64);
        if (!isColourModeBits(*mode)) usageError("snap: --mode must be 8, 16, 24, 32, 48 or 64");
    }
    const int count = args.value("count") ? requireInteger(*args.value("count"), "snap: --count", 1, kMaxCount) : 1;
    for (int i = 0; i < count; ++i) {
        requireWritableFile(numberedPath(*output, i, count), "snap");
    }

    CameraSession session = CameraSession::withCamera(options);
    const int h = session.handle();
    session.clearErrors();
    if (mode) session.require(Lumvek_SetColorMode(h, *mode), "snap: colour mode " + std::to_string(*mode));
    if (const auto mask = args.value("mask")) {
        session.require(Lumvek_LoadMaskFile(h, mask->c_str()), "snap: mask file " + *mask);
        session.require(Lumvek_SetMaskFilter(h, 1), "snap: mask filter");
    }
    session.requireCapture(Lumvek_Capture(h), "snap: preparing the capture");
    for (int i = 0; i < count; ++i) {
        const std::string path = numberedPath(*output, i, count);
        session.requireCapture(Lumvek_SnapShot(h, nullptr, 0, 1), "snap: taking picture " + std::to_string(i + 1));
        if (Lumvek_SaveImage(h, path.c_str(), format->fileType) == 0) {
            const int code = session.lastErrorCode();
            if (code == 0) {
                // The writers give no code for a file they cannot write.
                fail("snap: cannot write " + path + ": " + reasonWriteFails(path));
            }
            fail("snap: saving " + path + ": " + describeSdkError(code));
        }
        std::printf("saved %s (%d x %d, %d bits, %s)\n", path.c_str(), Lumvek_Width(h), Lumvek_Height(h),
                    Lumvek_GetColorMode(h), format->name);
    }
    (void)Lumvek_Close(h);
    return kExitOk;
}

} // namespace lumvek::tool
