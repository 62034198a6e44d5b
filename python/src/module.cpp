// lumvek._lumvek: the compiled half of the Python package `lumvek`.
#include <memory>
#include <optional>
#include <string>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "LumvekDevice.h"
#include "LumvekSdk.h"
#include "camera.h"
#include "frame_array.h"
#include "frame_metadata.h"
#include "frame_stream.h"
#include "sdk_failure.h"
#include "settings_table.h"

namespace py = pybind11;
using namespace lumvek::python;

namespace {

constexpr int kDefaultStreamTimeoutMs = 10000;

// lumvek.Error, made once when the module loads.
PyObject* errorType = nullptr;
// lumvek.Recording, made once when the module loads.
PyObject* recordingType = nullptr;
// lumvek.RawFrame, made once when the module loads.
PyObject* rawFrameType = nullptr;

[[noreturn]] void raise(int code, const std::string& message) {
    throw SdkFailure(code, message);
}

std::vector<std::string> listCameras() {
    std::vector<std::string> names;
    char table[LUMVEK_MAX_DEVICE_NAMES][LUMVEK_DEVICE_NAME_BYTES] = {};
    int count = 0;
    {
        py::gil_scoped_release released;
        const int32_t handle = Lumvek_Initialize(nullptr);
        if (handle == 0) {
            raise(LUMVEK_ERR_STATE, "the SDK could not create an instance");
        }
        count = Lumvek_EnumDevice(handle, table);
        (void)Lumvek_Release(handle);
    }
    for (int i = 0; i < count && i < LUMVEK_MAX_DEVICE_NAMES; ++i) {
        table[i][LUMVEK_DEVICE_NAME_BYTES - 1] = '\0';
        names.emplace_back(table[i]);
    }
    return names;
}

const lumvek::tool::SettingInfo& settingNamed(const std::string& name) {
    const auto* setting = lumvek::tool::findSetting(name);
    if (setting == nullptr) {
        std::string known;
        for (const auto& info : lumvek::tool::allSettings()) {
            known += (known.empty() ? "" : ", ") + std::string(info.name);
        }
        raise(LUMVEK_ERR_ARGUMENT, "unknown setting " + name + "; the settings are " + known);
    }
    return *setting;
}

// "gain-red" -> "gain_red": the Python attribute of a setting.
std::string attributeName(const char* name) {
    std::string text = name;
    for (char& c : text) {
        if (c == '-') c = '_';
    }
    return text;
}

// The R13 cameras present now with their ids: [(number, id), ...].
std::vector<std::pair<int, std::string>> cameraIds() {
    std::vector<std::pair<int, std::string>> ids;
    py::gil_scoped_release released;
    for (int n = 0; n < 32; ++n) {
        char id[LUMVEK_DEVICE_ID_BYTES] = {};
        if (LumvekDevice_GetId(n, id, sizeof id)) ids.emplace_back(n, id);
    }
    return ids;
}

py::object snap(Camera& camera, bool raw) {
    lumvek::tool::FrameLayout layout;
    std::vector<uint8_t> padded;
    std::string bayer;
    {
        py::gil_scoped_release released;
        if (raw) {
            camera.snapRaw(layout, padded, bayer);
        } else {
            camera.snap(layout, padded);
        }
    }
    py::array frame = makeFrame(layout);
    lumvek::tool::removeRowPadding(layout, padded.data(), static_cast<uint8_t*>(frame.mutable_data()));
    LumvekFrameMetadata metadata{};
    const bool known = camera.lastFrameMetadata(metadata);
    setMetadata(frame, known ? &metadata : nullptr);
    if (!raw) return frame;
    py::object result = py::reinterpret_borrow<py::object>(rawFrameType)();
    result.attr("pixels") = frame;
    result.attr("bayer") = bayer;
    result.attr("bits") = frame.itemsize() * 8;
    result.attr("metadata") = frame.attr("metadata");
    return result;
}

template <typename Function>
auto withoutGil(Function function) {
    py::gil_scoped_release released;
    return function();
}

void bindSettings(py::class_<Camera>& cls) {
    for (const auto& info : lumvek::tool::allSettings()) {
        const lumvek::tool::SettingInfo* setting = &info;
        auto get = [setting](Camera& camera) { return withoutGil([&] { return camera.setting(*setting); }); };
        auto set = [setting](Camera& camera, int value) {
            withoutGil([&] {
                camera.setSetting(*setting, value);
                return 0;
            });
        };
        const std::string doc = std::string(setting->meaning) + "; accepts " + lumvek::tool::rangeText(*setting);
        switch (setting->access) {
        case lumvek::tool::SettingAccess::ReadWrite:
            cls.def_property(attributeName(setting->name).c_str(), get, set, doc.c_str());
            break;
        case lumvek::tool::SettingAccess::ReadOnly:
            cls.def_property_readonly(attributeName(setting->name).c_str(), get, doc.c_str());
            break;
        case lumvek::tool::SettingAccess::WriteOnly:
            cls.def_property(attributeName(setting->name).c_str(), nullptr, set, doc.c_str());
            break;
        }
    }
}

} // namespace

PYBIND11_MODULE(_lumvek, m) {
    m.doc() = "Lumvek USB3 cameras: the compiled part of the lumvek package";

    errorType = PyErr_NewExceptionWithDoc("lumvek.Error",
                                          "An SDK call failed; .code holds the SDK's error code (0: none given).",
                                          PyExc_RuntimeError, nullptr);
    m.attr("Error") = py::handle(errorType);
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) std::rethrow_exception(failure);
        } catch (const SdkFailure& e) {
            py::object error = py::reinterpret_borrow<py::object>(errorType)(e.what());
            error.attr("code") = e.code();
            PyErr_SetObject(errorType, error.ptr());
        }
    });

    // What record() returns: the frames written, as an int (as before), with
    // the frames the recorder had to skip beside it.
    {
        py::dict body;
        body["__module__"] = "lumvek";
        body["__doc__"] =
            "Frames written by Camera.record() (an int), with .frames (the same) and .skipped: new pictures the "
            "recorder could not take because the writes fell behind the camera.";
        py::object type = py::module_::import("builtins").attr("type")(
            "Recording", py::make_tuple(py::module_::import("builtins").attr("int")), body);
        recordingType = type.release().ptr();
        m.attr("Recording") = py::handle(recordingType);
    }

    // What snap(raw=True) returns: the mosaic and its colour filter.
    {
        py::dict body;
        body["__module__"] = "lumvek";
        body["__doc__"] =
            "A raw frame: .pixels, the mosaic as the sensor delivers it ((H, W) uint8 or uint16, first row on top); "
            ".bayer, the colours of its top-left 2 x 2 block ('gbrg', 'rggb', 'bggr' or 'grbg', with the mirrors "
            "in force); .bits, 8 or 16.";
        py::object type = py::module_::import("builtins").attr("type")(
            "RawFrame", py::make_tuple(py::module_::import("builtins").attr("object")), body);
        rawFrameType = type.release().ptr();
        m.attr("RawFrame") = py::handle(rawFrameType);
    }

    m.def("list_cameras", &listCameras, "Names of the cameras that can be opened (Lumvek_EnumDevice).");
    m.def("camera_ids", &cameraIds,
          "The cameras present with their ids: [(number, id), ...]. Camera(id=...) opens by id; numbers follow "
          "the order the cameras were found, and stored settings follow the number.");
    m.attr("COLOR_MODES") = py::make_tuple(LUMVEK_COLOR_MODE_MONO8, LUMVEK_COLOR_MODE_MONO16, LUMVEK_COLOR_MODE_BGR24,
                                           LUMVEK_COLOR_MODE_BGRX32, LUMVEK_COLOR_MODE_BGR48, LUMVEK_COLOR_MODE_BGRX64);
    m.attr("ERROR_HISTORY_DEPTH") = LUMVEK_ERROR_HISTORY_DEPTH;

    py::class_<FrameStream>(m, "FrameStream", "Frames of a callback preview, one NumPy array per frame.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &FrameStream::next)
        .def("close", &FrameStream::close, "Stops the preview.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](FrameStream& stream, py::args) { stream.close(); });

    py::class_<Camera> cls(m, "Camera", "One camera, opened for the life of the object or until close().");
    cls.def(py::init([](std::optional<int> index, std::optional<std::string> id) {
                py::gil_scoped_release released;
                return std::make_unique<Camera>(index, id);
            }),
            py::arg("index") = py::none(), py::kw_only(), py::arg("id") = py::none(),
            "None: the camera Lumvek_Initialize opens (the only one present); N: device number N; id='...': the "
            "camera with that id (lumvek.camera_ids()), whatever number it has.")
        .def_property_readonly("id", [](Camera& camera) { return withoutGil([&] { return camera.id(); }); },
                               "The camera's stable id: USB serial number, else bus and port; a simulated camera's "
                               "name.")
        .def_property_readonly("number", [](Camera& camera) { return withoutGil([&] { return camera.deviceNumber(); }); },
                               "The camera's device number now (stored settings follow it).")
        .def_property_readonly("bayer_order", [](Camera& camera) { return withoutGil([&] { return camera.bayerOrder(); }); },
                               "Bayer order of raw frames: 'gbrg', 'rggb', 'bggr' or 'grbg', following the stored "
                               "Bayer mode and the mirrors in force.")
        .def("close", [](Camera& camera) { withoutGil([&] { camera.close(); return 0; }); })
        .def_property_readonly("closed", [](Camera& camera) { return !camera.isOpen(); })
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](Camera& camera, py::args) { withoutGil([&] { camera.close(); return 0; }); })
        .def_property(
            "color_mode", [](Camera& camera) { return withoutGil([&] { return camera.colorMode(); }); },
            [](Camera& camera, int bits) { withoutGil([&] { camera.setColorMode(bits); return 0; }); },
            "Bits per output pixel: 8, 16 (mono), 24, 32, 48, 64 (colour).")
        .def_property(
            "gain", [](Camera& camera) { return withoutGil([&] { return camera.setting(settingNamed("global-gain")); }); },
            [](Camera& camera, int value) {
                withoutGil([&] { camera.setSetting(settingNamed("global-gain"), value); return 0; });
            },
            "Analog gain of all colours (global-gain).")
        .def_property(
            "window",
            [](Camera& camera) {
                const CaptureWindow w = withoutGil([&] { return camera.window(); });
                return py::make_tuple(w.x, w.y, w.width, w.height);
            },
            [](Camera& camera, std::tuple<int, int, int, int> window) {
                const auto [x, y, width, height] = window;
                withoutGil([&] { camera.setWindow({x, y, width, height}); return 0; });
            },
            "Capture window (x, y, width, height) in sensor pixels.")
        .def(
            "get", [](Camera& camera, const std::string& name) {
                const auto& setting = settingNamed(name);
                return withoutGil([&] { return camera.setting(setting); });
            },
            py::arg("name"), "A setting by its lumvek get name.")
        .def(
            "set",
            [](Camera& camera, const std::string& name, int value) {
                const auto& setting = settingNamed(name);
                withoutGil([&] { camera.setSetting(setting, value); return 0; });
            },
            py::arg("name"), py::arg("value"), "A setting by its lumvek set name.")
        .def(
            "dialog", [](Camera& camera, const std::string& kind) { return withoutGil([&] { return camera.dialog(kind); }); },
            py::arg("kind"),
            "Opens the library's 'camera', 'image' or 'analog' settings dialog and returns when it has closed: 1, "
            "as Lumvek_SetCameraDlg/SetImageDlg/SetAnalogDlg return, whatever button closed it.")
        .def("snap", &snap, py::arg("raw") = false,
             "One frame as a lumvek.Frame (a NumPy array with .metadata), first row on top. raw=True: a "
             "lumvek.RawFrame, the sensor's mosaic (uint8, or uint16 in the 16-bit modes) with its Bayer order "
             "and the frame's metadata; the colour mode is put back.")
        .def_property_readonly(
            "statistics",
            [](Camera& camera) {
                const LumvekStreamStatistics s = withoutGil([&] { return camera.statistics(); });
                return statisticsObject(s);
            },
            "Frames delivered, lost in the transfer, overwritten, not delivered; rate; delivery latency.")
        .def(
            "stream",
            [](py::object self, std::optional<int> count, int timeoutMs, bool raw) {
                Camera& camera = self.cast<Camera&>();
                if (raw) {
                    withoutGil([&] {
                        const int mode = camera.colorMode();
                        const bool sixteen = mode == 16 || mode == 48 || mode == 64;
                        if (mode != 8 && mode != 16) camera.setColorMode(sixteen ? 16 : 8);
                        return 0;
                    });
                }
                return std::make_unique<FrameStream>(self, camera, count, timeoutMs);
            },
            py::arg("count") = py::none(), py::arg("timeout_ms") = kDefaultStreamTimeoutMs, py::arg("raw") = false,
            "An iterator of frames from a callback preview (all of them when count is None). raw=True: the mosaic "
            "(colour mode 8, or 16 from a 16-bit mode; the camera stays in it), Bayer order in bayer_order.")
        .def(
            "save",
            [](Camera& camera, const std::string& path, std::optional<std::string> format) {
                withoutGil([&] { camera.save(path, format.value_or("")); return 0; });
            },
            py::arg("path"), py::arg("format") = py::none(),
            "Saves the last frame; format by name (bmp, raw, jpg, png, tif ...) or from the extension.")
        .def(
            "record",
            [](Camera& camera, const std::string& path, int ms) {
                const Camera::RecordOutcome outcome = withoutGil([&] { return camera.record(path, ms); });
                py::object result = py::reinterpret_borrow<py::object>(recordingType)(outcome.frames);
                result.attr("frames") = outcome.frames;
                result.attr("skipped") = outcome.skipped;
                return result;
            },
            py::arg("path"), py::arg("ms"),
            "Records ms milliseconds into an AVI file; returns a lumvek.Recording: the frames written (an int), "
            "with .skipped, the frames the writes could not keep up with. A full disk or a failed write raises "
            "lumvek.Error (code 12) with the frames so far kept in the file.");
    bindSettings(cls);
}
