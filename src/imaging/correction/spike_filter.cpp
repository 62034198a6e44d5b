#include "imaging/correction/spike_filter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/correction/spike_rows.h"
#include "imaging/pipeline/row_bands.h"

namespace lumvek {

namespace {

constexpr int32_t kSpike8 = 30;
constexpr int32_t kSpike16 = 7680;

bool isRaw(const PlaneView& frame) {
    return !frame.empty() && (frame.bytesPerPixel == 1 || frame.bytesPerPixel == 2);
}

template <typename Sample>
int32_t at(const PlaneView& frame, int y, int x) {
    return reinterpret_cast<const Sample*>(frame.row(y))[x];
}

// Rows y-2 .. y+2 of the frame itself, as the scan has left them.
template <typename Sample>
spike::RowWindow<Sample> windowAt(const PlaneView& frame, int y) {
    auto row = [&frame](int yy) { return reinterpret_cast<Sample*>(frame.row(yy)); };
    return {row(y - 2), row(y - 1), row(y), row(y + 1), row(y + 2)};
}

void reference8(const PlaneView& frame, const SpikeFilterParams& p) {
    for (int y = 2; y < frame.height - 2; ++y) {
        for (int x = 2; x < frame.width - 2; ++x) {
            const int32_t v = at<uint8_t>(frame, y, x);
            const int32_t m = (at<uint8_t>(frame, y, x - 2) + at<uint8_t>(frame, y, x + 2) +
                               at<uint8_t>(frame, y - 2, x) + at<uint8_t>(frame, y + 2, x)) >>
                              2;
            if (v - m >= kSpike8 && spike::looksColoured(windowAt<uint8_t>(frame, y), p, y, x)) {
                frame.row(y)[x] = static_cast<uint8_t>(m);
            }
        }
    }
}

void reference16(const PlaneView& frame) {
    for (int y = 2; y < frame.height - 2; ++y) {
        for (int x = 2; x < frame.width - 2; ++x) {
            const int32_t v = at<uint16_t>(frame, y, x);
            const int32_t m = (at<uint16_t>(frame, y, x - 2) + at<uint16_t>(frame, y, x + 2) +
                               at<uint16_t>(frame, y - 2, x) + at<uint16_t>(frame, y + 2, x)) >>
                              2;
            if (std::abs(v - m) < kSpike16) {
                continue;
            }
            bool isolated = true;
            for (int dy = -1; dy <= 1 && isolated; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dy != 0 || dx != 0) && std::abs(at<uint16_t>(frame, y + dy, x + dx) - v) < kSpike16) {
                        isolated = false;
                        break;
                    }
                }
            }
            if (isolated) {
                frame.row16(y)[x] = static_cast<uint16_t>(m);
            }
        }
    }
}

// The optimised filter over bands of rows (see the header). Band k covers
// rows starts_[k] .. starts_[k + 1] - 1 of the filtered rows 2 .. height-3.
// Edge k (between bands k - 1 and k) keeps rows starts_[k] - 2 ..
// starts_[k] + 1 as they came: band k - 1 reads the two below it from there
// while band k filters them, and band k reads the two above it from there
// while band k - 1 filters them.
template <typename Sample>
class BandedSpikeFilter {
public:
    BandedSpikeFilter(const PlaneView& frame, const SpikeFilterParams& params, SpikeFilterScratch& scratch,
                      const RowBands& threads, const RawRowSource* source)
        : frame_(frame), params_(params), scratch_(scratch), source_(source),
          rowBytes_(static_cast<size_t>(frame.width) * sizeof(Sample)) {
        const int rows = frame.height - 4;
        bandCount_ = std::min(threads.bandsFor(rows, kMinBandRows), kMaxBands);
        for (int k = 0; k <= bandCount_; ++k) {
            starts_[static_cast<size_t>(k)] = 2 + static_cast<int>(static_cast<int64_t>(rows) * k / bandCount_);
        }
        const size_t bands = static_cast<size_t>(bandCount_);
        if (scratch_.marks.size() < bands) {
            scratch_.marks.resize(bands);
            scratch_.replaced.resize(bands);
        }
        for (size_t k = 0; k < bands; ++k) {
            scratch_.marks[k].resize(spike::markBytesFor(frame.width));
            scratch_.replaced[k].clear();
            if (bandCount_ > 1 && scratch_.replaced[k].capacity() == 0) {
                scratch_.replaced[k].reserve(kReplacementsReserved);
            }
        }
        scratch_.edgeRows.resize(static_cast<size_t>(kEdgeRows) * rowBytes_ * (bands - 1));
        scratch_.redoRows.resize(bandCount_ > 1 ? 3 * rowBytes_ : 0);
    }

    void run(RowBands& bands) {
        if (bandCount_ == 1) {
            filterBand(0);
            return;
        }
        for (int k = 1; k < bandCount_; ++k) {
            // The rows around the edge come in now (their bands copy them again, unchanged).
            copyRows(start(k) - 2, start(k) + 2);
            for (int i = 0; i < kEdgeRows; ++i) {
                std::memcpy(edgeRow(k, i), frame_.row(starts_[static_cast<size_t>(k)] - 2 + i), rowBytes_);
            }
        }
        // One unit of work per band, so that the bands are the ones made above
        // (bandsFor() never splits bandCount_ units further).
        bands.run(0, bandCount_, [this](int k0, int k1) {
            for (int k = k0; k < k1; ++k) {
                filterBand(k);
            }
        }, 1);
        for (int k = 1; k < bandCount_; ++k) {
            settleEdge(k);
        }
    }

private:
    static constexpr int kMinBandRows = 16;
    static constexpr int kMaxBands = 16;
    static constexpr int kEdgeRows = 4;
    static constexpr size_t kReplacementsReserved = 4096;
    // Rows copied in at a time: enough to make each copy worth its call,
    // few enough to stay in the first-level cache until the scan is there.
    static constexpr int kCopyAheadRows = 4;

    Sample* edgeRow(int edge, int index) {
        return reinterpret_cast<Sample*>(scratch_.edgeRows.data() +
                                         (static_cast<size_t>(edge - 1) * kEdgeRows + static_cast<size_t>(index)) *
                                             rowBytes_);
    }
    Sample* frameRow(int y) const { return reinterpret_cast<Sample*>(frame_.row(y)); }
    int start(int band) const { return starts_[static_cast<size_t>(band)]; }

    // Row y as band k sees it while the bands run.
    const Sample* seenBy(int k, int y) {
        if (k > 0 && y < start(k)) {
            return edgeRow(k, y - (start(k) - 2));
        }
        if (k + 1 < bandCount_ && y >= start(k + 1)) {
            return edgeRow(k + 1, y - (start(k + 1) - 2));
        }
        return frameRow(y);
    }

    void filterRow(const spike::RowWindow<Sample>& rows, int y, uint8_t* marks,
                   std::vector<SpikeReplacement>* replaced) {
        if constexpr (sizeof(Sample) == 1) {
            spike::filterRow8(rows, y, frame_.width, params_, marks, replaced);
        } else {
            spike::filterRow16(rows, y, frame_.width, marks, replaced);
        }
    }

    // Rows [y0, y1) from the source into the frame; nothing without one.
    void copyRows(int y0, int y1) const {
        if (source_ != nullptr) {
            source_->copy(frame_.data, static_cast<size_t>(frame_.stride), y0, y1);
        }
    }

    void filterBand(int k) {
        std::vector<SpikeReplacement>* replaced = bandCount_ > 1 ? &scratch_.replaced[static_cast<size_t>(k)] : nullptr;
        uint8_t* marks = scratch_.marks[static_cast<size_t>(k)].data();
        // The band's own rows (the first band's from the top, the last's to
        // the bottom), each copied in before the scan reads it: row y reads
        // rows up to y + 2, so the band's last row brings in the rest.
        const int copyEnd = k + 1 == bandCount_ ? frame_.height : start(k + 1);
        int copied = k == 0 ? 0 : start(k);
        for (int y = start(k); y < start(k + 1); ++y) {
            const int need = std::min(y + 3, copyEnd);
            if (copied < need) {
                const int until = std::min(copyEnd, std::max(need, copied + kCopyAheadRows));
                copyRows(copied, until);
                copied = until;
            }
            const spike::RowWindow<Sample> rows{seenBy(k, y - 2), seenBy(k, y - 1), frameRow(y), seenBy(k, y + 1),
                                                seenBy(k, y + 2)};
            filterRow(rows, y, marks, replaced);
        }
    }

    // Row y of band k as it came, into to: the row now, with the band's
    // replacements in it undone (rows below the band: as the next edge kept
    // them, or, past the filtered rows, as they stand).
    void originalRow(int k, int y, Sample* to) {
        if (y >= start(k + 1)) {
            const Sample* from = k + 1 < bandCount_ ? edgeRow(k + 1, y - (start(k + 1) - 2)) : frameRow(y);
            std::memcpy(to, from, rowBytes_);
            return;
        }
        std::memcpy(to, frameRow(y), rowBytes_);
        const std::vector<SpikeReplacement>& replaced = scratch_.replaced[static_cast<size_t>(k)];
        auto it = std::lower_bound(replaced.begin(), replaced.end(), y,
                                   [](const SpikeReplacement& r, int row) { return r.y < row; });
        // Undone last first: a pixel is replaced at most once per scan, but keep the order safe.
        auto end = it;
        while (end != replaced.end() && end->y == y) {
            ++end;
        }
        while (end != it) {
            --end;
            to[end->x] = static_cast<Sample>(end->before);
        }
    }

    // Once bands 0 .. k-1 are final: if band k - 1 changed the rows band k
    // read above it, band k's first rows are filtered again, in scan order,
    // from their values as they came, until two rows in a row come out as
    // they stand.
    void settleEdge(int k) {
        const int s = start(k);
        if (std::memcmp(frameRow(s - 2), edgeRow(k, 0), rowBytes_) == 0 &&
            std::memcmp(frameRow(s - 1), edgeRow(k, 1), rowBytes_) == 0) {
            return;
        }
        auto* work = reinterpret_cast<Sample*>(scratch_.redoRows.data());
        Sample* down = work + frame_.width;
        Sample* down2 = down + frame_.width;
        uint8_t* marks = scratch_.marks[0].data();
        int unchanged = 0;
        for (int y = s; y < start(k + 1); ++y) {
            originalRow(k, y, work);
            originalRow(k, y + 1, down);
            originalRow(k, y + 2, down2);
            filterRow(spike::RowWindow<Sample>{frameRow(y - 2), frameRow(y - 1), work, down, down2}, y, marks,
                      nullptr);
            if (std::memcmp(work, frameRow(y), rowBytes_) == 0) {
                if (++unchanged == 2) {
                    return;
                }
            } else {
                std::memcpy(frameRow(y), work, rowBytes_);
                unchanged = 0;
            }
        }
    }

    const PlaneView& frame_;
    const SpikeFilterParams& params_;
    SpikeFilterScratch& scratch_;
    const RawRowSource* source_;
    size_t rowBytes_;
    int bandCount_ = 1;
    std::array<int, kMaxBands + 1> starts_{};
};

} // namespace

bool spikeFilterReference(const PlaneView& frame, const SpikeFilterParams& params) {
    if (!isRaw(frame)) {
        return false;
    }
    if (frame.bytesPerPixel == 1) {
        reference8(frame, params);
    } else {
        reference16(frame);
    }
    return true;
}

bool spikeFilterOptimised(const PlaneView& frame, const SpikeFilterParams& params, RowBands& bands,
                          SpikeFilterScratch& scratch, const RawRowSource* source) {
    if (source != nullptr && !source->given()) {
        source = nullptr;
    }
    if (!isRaw(frame) || frame.width < 5 || frame.height < 5) {
        if (source != nullptr && !frame.empty()) {
            source->copy(frame.data, static_cast<size_t>(frame.stride), 0, frame.height);
        }
        return isRaw(frame);  // a frame this small has no pixel inside the border
    }
    if (frame.bytesPerPixel == 1) {
        BandedSpikeFilter<uint8_t>(frame, params, scratch, bands, source).run(bands);
    } else {
        BandedSpikeFilter<uint16_t>(frame, params, scratch, bands, source).run(bands);
    }
    return true;
}

} // namespace lumvek
