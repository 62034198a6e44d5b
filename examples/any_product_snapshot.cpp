// Lists the cameras of every product, opens one through the C++ camera
// interface, prints its sensor, takes one frame and writes it as a PGM.
//   any_product_snapshot [PRODUCT [NUMBER [FILE.pgm]]]   e.g. 0x32D0 0 r12.pgm
#include <lumvek/camera.hpp>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    for (const lumvek::CameraEntry& entry : lumvek::listCameras()) {
        std::printf("0x%04X  #%d  %-24s %s\n", entry.productId, entry.deviceNumber, entry.name.c_str(),
                    entry.openable ? "openable" : "busy");
    }
    const int product = argc > 1 ? static_cast<int>(std::strtol(argv[1], nullptr, 0)) : 0x3090;
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    const char* path = argc > 3 ? argv[3] : "frame.pgm";

    lumvek::Error error{};
    const auto camera = lumvek::Camera::open(product, number, error);
    if (!camera) {
        std::fprintf(stderr, "open 0x%04X #%d: %s\n", product, number, lumvek::errorText(error));
        return 1;
    }
    const lumvek::CameraInfo info = camera->info();
    std::printf("sensor %d x %d, gain %d..%d, exposure %d..%d x 0.1 ms\n", info.fullWidth, info.fullHeight,
                info.gainMin, info.gainMax, info.exposureMin, info.exposureMax);
    double celsius = 0.0;
    if (camera->temperature(celsius) == lumvek::Error::None) std::printf("temperature %.1f C\n", celsius);

    std::vector<uint8_t> frame(camera->frameBytes());
    size_t written = 0;
    error = camera->snap(frame.data(), frame.size(), written, 5000);
    if (error != lumvek::Error::None) {
        std::fprintf(stderr, "snap: %s\n", lumvek::errorText(error));
        return 1;
    }
    const lumvek::Window window = camera->window();
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::perror(path);
        return 1;
    }
    // 8-bit samples: one byte per pixel, rows top to bottom.
    std::fprintf(file, "P5\n%d %d\n255\n", window.width, static_cast<int>(written / window.width));
    std::fwrite(frame.data(), 1, written, file);
    std::fclose(file);
    std::printf("%s: %d x %zu\n", path, window.width, written / window.width);
    return 0;
}
