// Peers measured in the same run: memcpy of a 24-bit frame (the memory
// floor) and, when built with OpenCV, its closest equivalents of our steps.
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <memory>
#include <random>
#include <vector>

#include "bench_cases.h"

#if defined(LUMVEK_BENCH_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace lumvek::bench {

std::vector<Case> peerCases(int threads) {
    std::vector<Case> cases;
    const size_t frameBytes = static_cast<size_t>(kWidth) * kHeight * 3;
    auto from = std::make_shared<std::vector<uint8_t>>(frameBytes, 17);
    auto to = std::make_shared<std::vector<uint8_t>>(frameBytes, 0);
    cases.push_back({"memcpy24", [from, to] { std::memcpy(to->data(), from->data(), from->size()); }});
    auto table = std::make_shared<std::vector<uint16_t>>(65536);
    for (size_t i = 0; i < table->size(); ++i) {
        (*table)[i] = static_cast<uint16_t>(65535 - i);
    }
    auto wide = std::make_shared<std::vector<uint16_t>>(static_cast<size_t>(kWidth) * kHeight * 3, 1234);
    cases.push_back({"lut65536_48", [wide, table] {
                         for (auto& s : *wide) {
                             s = (*table)[s];
                         }
                     }});
#if defined(LUMVEK_BENCH_OPENCV)
    // OpenCV's thread count is one setting for the process: each case sets
    // its own before it runs, so one- and two-thread cases may be mixed.
    auto cvCase = [threads](std::string name, std::function<void()> run) {
        return Case{std::move(name), [threads, run = std::move(run)] {
                        cv::setNumThreads(threads);
                        run();
                    }};
    };
    std::mt19937 rng(3);
    auto bayer8 = std::make_shared<cv::Mat>(kHeight, kWidth, CV_8UC1);
    auto bayer16 = std::make_shared<cv::Mat>(kHeight, kWidth, CV_16UC1);
    cv::randu(*bayer8, 0, 255);
    cv::randu(*bayer16, 0, 65535);
    auto bgr8 = std::make_shared<cv::Mat>(kHeight, kWidth, CV_8UC3);
    auto bgr16 = std::make_shared<cv::Mat>(kHeight, kWidth, CV_16UC3);
    auto blur8 = std::make_shared<cv::Mat>();
    auto blur16 = std::make_shared<cv::Mat>();
    auto hsv = std::make_shared<cv::Mat>();
    cv::randu(*bgr8, 0, 255);
    cv::randu(*bgr16, 0, 65535);
    auto lut = std::make_shared<cv::Mat>(1, 256, CV_8UC1);
    for (int i = 0; i < 256; ++i) {
        lut->at<uint8_t>(0, i) = static_cast<uint8_t>(255 - i);
    }
    cases.push_back(cvCase("cv_bayer8to24", [bayer8, bgr8] { cv::cvtColor(*bayer8, *bgr8, cv::COLOR_BayerBG2BGR); }));
    cases.push_back(cvCase("cv_bayer16to48", [bayer16, bgr16] { cv::cvtColor(*bayer16, *bgr16, cv::COLOR_BayerBG2BGR); }));
    cases.push_back(cvCase("cv_lut24", [bgr8, lut] { cv::LUT(*bgr8, *lut, *bgr8); }));
    cases.push_back(cvCase("cv_convertTo24", [bgr8] { bgr8->convertTo(*bgr8, -1, 1.05); }));
    cases.push_back(cvCase("cv_unsharp24", [bgr8, blur8] {
                         cv::blur(*bgr8, *blur8, cv::Size(4, 4));
                         cv::addWeighted(*bgr8, 2.0, *blur8, -1.0, 0, *bgr8);
                     }));
    cases.push_back(cvCase("cv_unsharp48", [bgr16, blur16] {
                         cv::blur(*bgr16, *blur16, cv::Size(4, 4));
                         cv::addWeighted(*bgr16, 2.0, *blur16, -1.0, 0, *bgr16);
                     }));
    cases.push_back(cvCase("cv_hsv_hue24", [bgr8, hsv] {
                         cv::cvtColor(*bgr8, *hsv, cv::COLOR_BGR2HSV);
                         cv::add(*hsv, cv::Scalar(15, 0, 0), *hsv);
                         cv::cvtColor(*hsv, *bgr8, cv::COLOR_HSV2BGR);
                     }));
#else
    (void)threads;
#endif
    return cases;
}

} // namespace lumvek::bench
