#include "platform/fx3/driver_request.h"

#include <algorithm>
#include <cstring>

namespace lumvek::fx3 {

namespace {

void put16(std::span<uint8_t> out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::span<uint8_t> out, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint16_t get16(std::span<const uint8_t> in, size_t at) {
    return static_cast<uint16_t>(in[at] | (in[at + 1] << 8));
}

uint32_t get32(std::span<const uint8_t> in, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        v |= static_cast<uint32_t>(in[at + i]) << (8 * i);
    }
    return v;
}

} // namespace

bool encodeHeader(const RequestHeader& header, std::span<uint8_t> out) {
    if (out.size() < kRequestHeaderBytes) {
        return false;
    }
    std::fill_n(out.begin(), kRequestHeaderBytes, uint8_t{0});
    out[offset::kRequestType] = header.requestType;
    out[offset::kRequestCode] = header.requestCode;
    put16(out, offset::kValue, header.value);
    put16(out, offset::kIndex, header.index);
    put16(out, offset::kLength, header.length);
    put32(out, offset::kTimeout, header.timeoutMs);
    out[offset::kEndpoint] = header.endpoint;
    put32(out, offset::kStatusA, header.statusA);
    put32(out, offset::kStatusB, header.statusB);
    put32(out, offset::kDataOffset, header.dataOffset);
    put32(out, offset::kDataLength, header.dataLength);
    return true;
}

bool decodeHeader(std::span<const uint8_t> in, RequestHeader& header) {
    if (in.size() < kRequestHeaderBytes) {
        return false;
    }
    header.requestType = in[offset::kRequestType];
    header.requestCode = in[offset::kRequestCode];
    header.value = get16(in, offset::kValue);
    header.index = get16(in, offset::kIndex);
    header.length = get16(in, offset::kLength);
    header.timeoutMs = get32(in, offset::kTimeout);
    header.endpoint = in[offset::kEndpoint];
    header.statusA = get32(in, offset::kStatusA);
    header.statusB = get32(in, offset::kStatusB);
    header.dataOffset = get32(in, offset::kDataOffset);
    header.dataLength = get32(in, offset::kDataLength);
    return true;
}

bool writeCompletionStatus(std::span<uint8_t> buffer, uint32_t statusA, uint32_t statusB) {
    if (buffer.size() < kRequestHeaderBytes) {
        return false;
    }
    put32(buffer, offset::kStatusA, statusA);
    put32(buffer, offset::kStatusB, statusB);
    return true;
}

ControlRequestBuffer makeControlRequest(uint8_t requestType, uint8_t requestCode, uint16_t value, uint16_t index,
                                        std::span<const uint8_t> data) {
    ControlRequestBuffer buffer{};
    RequestHeader header;
    header.requestType = requestType;
    header.requestCode = requestCode;
    header.value = value;
    header.index = index;
    header.length = static_cast<uint16_t>(kControlRequestBytes);
    header.timeoutMs = kControlTimeoutMs;
    header.dataOffset = kRequestHeaderBytes;
    header.dataLength = kControlDataBytes;
    (void)encodeHeader(header, buffer);
    const size_t n = std::min(data.size(), kControlDataBytes);
    std::copy_n(data.begin(), n, buffer.begin() + kRequestHeaderBytes);
    return buffer;
}

RequestHeader makeBufferedTransferHeader(uint8_t endpoint, uint32_t length) {
    RequestHeader header;
    header.endpoint = endpoint;
    header.dataOffset = kRequestHeaderBytes;
    header.dataLength = length;
    return header;
}

RequestHeader makeDirectTransferHeader(uint8_t endpoint) {
    RequestHeader header;
    header.endpoint = endpoint;
    return header;
}

} // namespace lumvek::fx3
