// lumvek info/snap/get/set --product ID: a camera of any product through the
// C++ camera interface.
#include "product_commands.h"

#include <lumvek/camera.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "command_support.h"
#include "failure.h"
#include "json_writer.h"
#include "raw_picture_file.h"
#include "window_text.h"
#include "simulation.h"

namespace lumvek::tool {

namespace {

constexpr int kR13Product = 0x3090;
constexpr int kMaxCount = 10000;
constexpr int kSnapTimeoutMs = 10000;

constexpr const char* kProductHelp =
    "With --product ID (hex 0x32D0 or decimal) the command opens a camera of any\n"
    "product of the family through the C++ camera interface:\n"
    "  lumvek info --product ID [-d N|ID] [--json]\n"
    "  lumvek snap --product ID [-d N|ID] -o FILE [--count N] [--window WxH[+X+Y]]\n"
    "  lumvek get  --product ID [-d N|ID] NAME\n"
    "  lumvek set  --product ID [-d N|ID] NAME VALUE\n"
    "-d takes the device number among the product's cameras or the camera's id\n"
    "(lumvek list shows both). snap writes the frame as the camera delivers it,\n"
    "in the kind the file name says: FILE.pgm (one sample per pixel), FILE.ppm\n"
    "(three-byte pixels, as the 0x3130 sends), FILE.png or FILE.raw.\n"
    "Settings: exposure (0.1 ms), exposure-seconds, gain, black-level, mirror-h,\n"
    "mirror-v, cooling (0/1), trigger (set: 0 free-running, 1 external trigger;\n"
    "what each product does with it: include/lumvek/camera.hpp), temperature\n"
    "(get), text (set sends the text, with \\r and \\n escapes, and prints the\n"
    "reply line; R05 heads only).\n";

struct ProductOptions {
    int productId = 0;
    int deviceNumber = 0;
    std::string id;  // -d ID: open by the camera's id instead
};

ProductOptions productOptionsFrom(const ParsedArgs& args, const std::string& command) {
    ProductOptions options;
    options.productId = requireInteger(*args.value("product"), command + ": --product", 1, 0xFFFF);
    if (const auto device = args.value("device")) {
        if (parseInteger(*device)) {
            options.deviceNumber = requireInteger(*device, command + ": -d", 0, 31);
        } else {
            options.id = *device;
        }
    }
    if (args.has("simulate")) {
        SimulationOptions simulation;
        simulation.enabled = true;
        simulation.pattern = args.value("pattern").value_or("");
        simulation.scenePath = args.value("scene").value_or("");
        enterSimulation(simulation);
        // The simulated camera carries the product asked for.
        std::string cameras = std::getenv("LUMVEK_SIM_CAMERAS");
        char product[16];
        std::snprintf(product, sizeof product, "0x%04X", options.productId);
        cameras.replace(cameras.find("0x3090"), 6, product);
        setenv("LUMVEK_SIM_CAMERAS", cameras.c_str(), 1);
    }
    return options;
}

ParsedArgs parseProductArgs(const Args& words, std::initializer_list<OptionSpec> own, const std::string& command) {
    std::vector<OptionSpec> specs = cameraOptionSpecs(own);
    specs.push_back({"product", 0, true});
    return parseArgs(words, specs, command);
}

std::unique_ptr<Camera> openCamera(const ProductOptions& options, const std::string& command) {
    Error error{};
    if (!options.id.empty()) {
        auto camera = Camera::open(options.id, error);
        if (camera && camera->productId() != options.productId) {
            char text[200];
            std::snprintf(text, sizeof text, "%s: camera '%s' is a product 0x%04X, not 0x%04X", command.c_str(),
                          options.id.c_str(), camera->productId(), options.productId);
            fail(text);
        }
        if (!camera) {
            fail(command + ": camera '" + options.id + "': " +
                 (error == Error::NotFound ? std::string("no camera has this id (lumvek list shows the ids)")
                                           : std::string(errorText(error))));
        }
        return camera;
    }
    auto camera = Camera::open(options.productId, options.deviceNumber, error);
    if (!camera) {
        char text[128];
        std::snprintf(text, sizeof text, "%s: product 0x%04X camera %d: %s", command.c_str(), options.productId,
                      options.deviceNumber, errorText(error));
        fail(text);
    }
    return camera;
}

void require(Error error, const std::string& what) {
    if (error != Error::None) fail(what + ": " + errorText(error));
}

// "n\r\n" as typed on a shell line: \r, \n, \t and \\ escapes.
std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char next = text[++i];
        out.push_back(next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next);
    }
    return out;
}

std::string escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out.push_back(c);
    }
    return out;
}

} // namespace

bool wantsProduct(const Args& words) {
    for (const std::string& word : words) {
        if (word == "--product" || word.rfind("--product=", 0) == 0) return true;
    }
    return false;
}

static Window parseWindowOption(const std::string& text) {
    std::string error;
    const auto parsed = parseWindowText(text, error);
    if (!parsed) usageError("snap: --window " + error);
    return {parsed->x, parsed->y, parsed->width, parsed->height, 0};
}

int runProductInfo(const Args& words) {
    const ParsedArgs args = parseProductArgs(words, {{"json", 0, false}}, "info");
    if (helpRequested(args, kProductHelp)) return kExitOk;
    requireOperands(args, 0, 0, "info");
    const ProductOptions options = productOptionsFrom(args, "info");
    auto camera = openCamera(options, "info");
    const CameraInfo info = camera->info();
    const Window window = camera->window();
    double celsius = 0.0;
    const bool haveTemperature = camera->temperature(celsius) == Error::None;
    int exposure = 0;
    int gain = 0;
    (void)camera->exposure(exposure);
    (void)camera->gain(gain);
    if (args.has("json")) {
        JsonWriter json;
        json.beginObject().value("product", info.productId).value("number", options.deviceNumber);
        json.value("width", info.fullWidth).value("height", info.fullHeight);
        json.value("gain-min", info.gainMin).value("gain-max", info.gainMax).value("gain", gain);
        json.value("exposure-min", info.exposureMin).value("exposure-max", info.exposureMax).value("exposure", exposure);
        json.value("window-width", window.width).value("window-height", window.height);
        if (haveTemperature) json.value("temperature", celsius);
        json.endObject();
        std::fputs(json.text().c_str(), stdout);
        return kExitOk;
    }
    std::printf("product            0x%04X, camera %d\n", info.productId, options.deviceNumber);
    std::printf("sensor             %d x %d, pixel clock %d kHz\n", info.fullWidth, info.fullHeight, info.clockKHz);
    std::printf("window             %d x %d at %d,%d, sub-sample %d\n", window.width, window.height, window.x, window.y,
                window.subSample);
    std::printf("gain               %d (%d..%d)\n", gain, info.gainMin, info.gainMax);
    std::printf("exposure           %d x 0.1 ms (%d..%d)\n", exposure, info.exposureMin, info.exposureMax);
    if (info.blackLevelAvailable) std::printf("black level        %d..%d\n", info.blackLevelMin, info.blackLevelMax);
    if (haveTemperature) std::printf("temperature        %.1f C\n", celsius);
    std::printf("cooling            %s\n", info.coolingAvailable ? "available" : "none");
    std::printf("text link          %s\n", info.textLink ? "yes" : "no");
    return kExitOk;
}

int runProductSnap(const Args& words) {
    const ParsedArgs args =
        parseProductArgs(words, {{"output", 'o', true}, {"count", 0, true}, {"window", 0, true}, {"mode", 0, true}},
                         "snap");
    if (helpRequested(args, kProductHelp)) return kExitOk;
    requireOperands(args, 0, 0, "snap");
    const auto output = args.value("output");
    if (!output) usageError("snap: -o FILE is required");
    const int count = args.value("count") ? requireInteger(*args.value("count"), "snap: --count", 1, kMaxCount) : 1;
    const bool sixteen = args.value("mode") && requireInteger(*args.value("mode"), "snap: --mode", 8, 16) > 8;
    const auto kind = rawPictureKindOf(*output);
    if (!kind) {
        usageError("snap: cannot tell what to write from '" + *output +
                   "': with --product, name a .pgm, .ppm, .png or .raw file");
    }
    const ProductOptions options = productOptionsFrom(args, "snap");
    auto camera = openCamera(options, "snap");
    if (const auto window = args.value("window")) {
        const Window wanted = parseWindowOption(*window);
        std::string reason;
        const Error error = camera->setWindow(wanted, reason);
        if (error != Error::None) fail("snap: --window " + *window + ": " + (reason.empty() ? errorText(error) : reason));
    }
    if (sixteen) require(camera->setSixteenBit(true), "snap: 16-bit samples");
    std::vector<uint8_t> frame(camera->frameBytes());
    const Window window = camera->window();
    RawFrameShape shape{window.width, window.height, 1, sixteen};
    const size_t samples = static_cast<size_t>(window.width) * static_cast<size_t>(window.height) * (sixteen ? 2 : 1);
    if (samples > 0 && frame.size() == 3 * samples) shape.samplesPerPixel = 3;
    if (const auto mismatch = rawPictureMismatch(*kind, shape)) fail("snap: cannot write " + *output + ": " + *mismatch);
    for (int i = 0; i < count; ++i) {
        const std::string path =
            count == 1 ? *output : output->substr(0, output->rfind('.')) + "_" + std::to_string(i + 1) +
                                       output->substr(output->rfind('.'));
        size_t written = 0;
        require(camera->snap(frame.data(), frame.size(), written, kSnapTimeoutMs), "snap: taking picture");
        writeRawPicture(path, *kind, shape, frame.data(), written);
        std::printf("saved %s (%d x %d, %d bits)\n", path.c_str(), window.width, window.height, sixteen ? 16 : 8);
    }
    return kExitOk;
}

int runProductGet(const Args& words) {
    const ParsedArgs args = parseProductArgs(words, {}, "get");
    if (helpRequested(args, kProductHelp)) return kExitOk;
    requireOperands(args, 1, 1, "get");
    const ProductOptions options = productOptionsFrom(args, "get");
    auto camera = openCamera(options, "get");
    const std::string& name = args.operands[0];
    if (name == "temperature") {
        double celsius = 0.0;
        require(camera->temperature(celsius), "get: temperature");
        std::printf("temperature = %.2f\n", celsius);
    } else if (name == "exposure-seconds") {
        double seconds = 0.0;
        require(camera->exposureSeconds(seconds), "get: exposure-seconds");
        std::printf("exposure-seconds = %g\n", seconds);
    } else {
        int value = 0;
        bool h = false;
        bool v = false;
        Error error = Error::None;
        if (name == "exposure") error = camera->exposure(value);
        else if (name == "gain") error = camera->gain(value);
        else if (name == "black-level") error = camera->blackLevel(value);
        else if (name == "mirror-h" || name == "mirror-v") {
            error = camera->mirror(h, v);
            value = name == "mirror-h" ? h : v;
        } else if (name == "cooling") {
            error = camera->cooling(h);
            value = h;
        } else {
            usageError("get: unknown setting '" + name + "' with --product (lumvek get --product 1 --help)");
        }
        require(error, "get: " + name);
        std::printf("%s = %d\n", name.c_str(), value);
    }
    return kExitOk;
}

int runProductSet(const Args& words) {
    const ParsedArgs args = parseProductArgs(words, {}, "set");
    if (helpRequested(args, kProductHelp)) return kExitOk;
    requireOperands(args, 2, 2, "set");
    const ProductOptions options = productOptionsFrom(args, "set");
    auto camera = openCamera(options, "set");
    const std::string& name = args.operands[0];
    const std::string& text = args.operands[1];
    if (name == "text") {
        require(camera->sendText(unescape(text)), "set: text");
        std::string reply;
        require(camera->receiveText(reply), "set: text reply");
        std::printf("%s\n", escape(reply).c_str());
        return kExitOk;
    }
    if (name == "exposure-seconds") {
        char* end = nullptr;
        const double seconds = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0') usageError("set: exposure-seconds needs a number");
        require(camera->setExposureSeconds(seconds), "set: exposure-seconds");
        return kExitOk;
    }
    const int value = requireInteger(text, "set: " + name, INT32_MIN, INT32_MAX);
    bool h = false;
    bool v = false;
    Error error = Error::None;
    if (name == "exposure") error = camera->setExposure(value);
    else if (name == "trigger") error = camera->setTriggerMode(value);
    else if (name == "gain") error = camera->setGain(value);
    else if (name == "black-level") error = camera->setBlackLevel(value);
    else if (name == "mirror-h" || name == "mirror-v") {
        (void)camera->mirror(h, v);
        error = name == "mirror-h" ? camera->setMirror(value != 0, v) : camera->setMirror(h, value != 0);
    } else if (name == "cooling") {
        error = camera->setCooling(value != 0);
    } else {
        usageError("set: unknown setting '" + name + "' with --product (lumvek set --product 1 --help)");
    }
    require(error, "set: " + name);
    return kExitOk;
}

int addOtherProducts(JsonWriter* json, const std::vector<int>& listedR13s) {
    int shown = 0;
    for (const CameraEntry& entry : listCameras()) {
        // R13s that can be opened are listed by the caller; one another
        // program holds is shown here as in use.
        const bool listed = std::find(listedR13s.begin(), listedR13s.end(), entry.deviceNumber) != listedR13s.end();
        if (entry.productId == kR13Product && (entry.openable || listed)) continue;
        ++shown;
        if (json) {
            json->beginObject().value("product", entry.productId).value("number", entry.deviceNumber);
            json->value("name", entry.name).value("openable", entry.openable).value("id", entry.id).endObject();
            continue;
        }
        if (entry.productId == kR13Product) {
            std::printf("%-3d %-24s in use by another program (lumvek doctor names it)  id %s\n", entry.deviceNumber,
                        entry.name.c_str(), entry.id.c_str());
            continue;
        }
        std::printf("product 0x%04X #%d %-24s %s (--product 0x%04X -d %d)  id %s\n", entry.productId,
                    entry.deviceNumber, entry.name.c_str(), entry.openable ? "openable" : "in use", entry.productId,
                    entry.deviceNumber, entry.id.c_str());
    }
    return shown;
}

} // namespace lumvek::tool
