#include "sensors/ccd/r13_init_script.h"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <utility>

namespace lumvek {
namespace {

constexpr uint32_t kBank1 = 0x8000;
constexpr uint32_t kPatternBase = 0x400;
constexpr size_t kPatternWords = 192;
constexpr uint32_t kPatternIdle = 0x3FFFFFF;
constexpr uint32_t kResetWord = 0x1C018A0;
constexpr uint32_t kLinePeriodClocks = 0x60B;  // 1547 clocks

using Pattern = std::array<uint32_t, kPatternWords>;
using Override = std::pair<uint32_t, uint32_t>;  // register number, value

void apply(Pattern& p, std::initializer_list<Override> list) {
    for (const auto& [reg, value] : list) p[reg - kPatternBase] = value;
}

void applyRange(Pattern& p, uint32_t first, uint32_t last, uint32_t value) {
    for (uint32_t reg = first; reg <= last; ++reg) p[reg - kPatternBase] = value;
}

// Words the two banks share.
void applyCommon(Pattern& p) {
    apply(p, {{0x438, 0x15C236}, {0x43A, 0x19C256}, {0x43E, 0x15C236}, {0x440, 0x19C16E}, {0x441, 0x32C256},
              {0x442, 0x19C256}, {0x444, 0x15C16E}, {0x445, 0x32C236}, {0x446, 0x19C256}, {0x448, 0x15C236},
              {0x456, 0x2DC196}, {0x45A, 0x2DC196}});
    apply(p, {{0x460, 0xF0003}, {0x461, kLinePeriodClocks}, {0x462, kLinePeriodClocks}, {0x463, 0},
              {0x464, 0x10C086}, {0x465, 0x10C086}, {0x466, kResetWord}});
    applyRange(p, 0x467, 0x469, 0);
    apply(p, {{0x46A, 0x10C000}, {0x46B, 1}, {0x46C, 0}, {0x46D, 0x10DFFF}, {0x46E, 0}, {0x46F, 0x10DFFF},
              {0x470, 0}, {0x471, 0x10DFFF}, {0x472, 0}, {0x478, 0x202128}});
    applyRange(p, 0x47F, 0x481, 0);
    applyRange(p, 0x484, 0x487, 0);
    apply(p, {{0x488, 0xF0403}, {0x489, kLinePeriodClocks}, {0x48A, kLinePeriodClocks}, {0x48B, 0},
              {0x48C, 0x4FC27E}, {0x48D, 0x4FC27E}, {0x48E, kResetWord}, {0x48F, 0}, {0x490, 0}});
    apply(p, {{0x492, 0x4FC000}, {0x493, 1}, {0x494, 0}, {0x495, 0x4FDFFF}, {0x496, 0}, {0x497, 0x4FDFFF},
              {0x498, 0}, {0x499, 0x4FDFFF}, {0x49A, 0}, {0x4A0, 0x202128}});
    applyRange(p, 0x4A7, 0x4A9, 0);
    applyRange(p, 0x4AC, 0x4AF, 0);
    apply(p, {{0x4B1, 0}, {0x4B2, kLinePeriodClocks}});
    applyRange(p, 0x4B4, 0x4B6, 0);
    apply(p, {{0x4B7, 0x70C000}, {0x4B9, 0}});
}

Pattern bank1Pattern() {
    Pattern p;
    p.fill(kPatternIdle);
    apply(p, {{0x408, 0x4A067}, {0x40A, 0x8C086}, {0x40E, 0x4C066}, {0x410, 0x8A087}, {0x412, 0x8A087},
              {0x414, 0x4A067}, {0x416, 0x8C086}, {0x418, 0x4C066}});
    applyCommon(p);
    apply(p, {{0x477, 0x29C026}, {0x479, 0x29C026}, {0x47C, 0x29C026}, {0x482, 0x2DC15A}, {0x491, 0x208420},
              {0x49F, 0x29C026}, {0x4A1, 0x29C026}, {0x4A4, 0x29C026}, {0x4AA, 0x2DC15A}, {0x4B0, 0x20},
              {0x4B3, 0x70A000}, {0x4B8, 0x2001}});
    return p;
}

Pattern bank0Pattern() {
    Pattern p;
    p.fill(kPatternIdle);
    apply(p, {{0x408, 0x4C066}, {0x40A, 0x8C086}, {0x40E, 0x4C066}, {0x410, 0x8C086}, {0x412, 0x8C086},
              {0x414, 0x4C066}, {0x416, 0x8C086}, {0x418, 0x4C066}});
    applyCommon(p);
    apply(p, {{0x477, 0x254002}, {0x479, 0x254002}, {0x47C, 0x254002}, {0x482, 0x294136}, {0x491, 0x8420},
              {0x49F, 0x254002}, {0x4A1, 0x254002}, {0x4A4, 0x254002}, {0x4AA, 0x294136}, {0x4B0, 1},
              {0x4B3, 0x2000}});
    return p;
}

class ScriptBuilder {
public:
    void write(uint32_t address, uint32_t value) {
        steps_.push_back({SensorInitStep::Kind::Register, address, value});
    }
    void writes(std::initializer_list<std::pair<uint32_t, uint32_t>> list) {
        for (const auto& [a, v] : list) write(a, v);
    }
    void fpgaFlag(uint32_t reg) { steps_.push_back({SensorInitStep::Kind::FpgaFlag, reg, 1}); }
    void pause(uint32_t ms) { steps_.push_back({SensorInitStep::Kind::PauseMs, ms, 0}); }
    void pattern(uint32_t bank, const Pattern& p) {
        for (size_t i = 0; i < p.size(); ++i) write(bank | (kPatternBase + static_cast<uint32_t>(i)), p[i]);
    }
    SensorInitScript take() { return std::move(steps_); }

private:
    SensorInitScript steps_;
};

void resetPass(ScriptBuilder& s) {
    s.writes({{0x8025, kResetWord}, {0x8026, kResetWord}, {0x801C, 0}, {0x80D1, 0x100000}, {0x00D1, 0x100000},
              {0x8000, 4}, {0x0000, 4}, {0x8015, 0}, {0x0015, 0}});
}

// "QUELROCo.Ltd", two characters per register, first in bits 8-15.
constexpr std::array<uint32_t, 6> kIdentification{0x5155, 0x454C, 0x524F, 0x436F, 0x2E4C, 0x7464};

void identification(ScriptBuilder& s, uint32_t bank, uint32_t reg4D) {
    s.writes({{bank | 0x40, 2}, {bank | 0x41, 0x41}, {bank | 0x43, 0xE}});
    for (size_t i = 0; i < kIdentification.size(); ++i) s.write(bank | (0x44 + static_cast<uint32_t>(i)), kIdentification[i]);
    s.writes({{bank | 0x4A, 0}, {bank | 0x4B, 0xF000}, {bank | 0x4C, 0x203}, {bank | 0x4D, reg4D},
              {bank | 0x4E, 0x43}, {bank | 0x4F, 0}, {bank | 0xD2, 0x916400}});
}

void timing(ScriptBuilder& s, uint32_t bank, uint32_t reg3A) {
    s.writes({{bank | 0x30, 0x12000}, {bank | 0x31, 0x10020}, {bank | 0x32, 0x10020}, {bank | 0x33, 0x10020},
              {bank | 0x34, 0x13020}, {bank | 0x35, 0x200}, {bank | 0x36, 0x220022}, {bank | 0x37, 0x220022},
              {bank | 0x38, 0x102040}, {bank | 0x39, 0x2000}, {bank | 0x3A, reg3A}, {bank | 0x3B, 0}});
}

SensorInitScript buildScript() {
    ScriptBuilder s;
    resetPass(s);
    s.fpgaFlag(0x21);
    s.pause(1);
    resetPass(s);
    s.writes({{0x8017, 0}, {0x8020, 1}, {0x0020, 0}, {0x8028, 0x42}, {0x0028, 0x42}});
    s.pattern(kBank1, bank1Pattern());
    s.pattern(0, bank0Pattern());
    s.writes({{0x8020, 1}, {0x0020, 0}, {0x000E, 0x100}, {0x8021, 0}, {0x8022, 0x20026}, {0x8001, 0}, {0x0001, 0},
              {0x8004, 4}, {0x8005, 0x120}, {0x8006, 4}, {0x800D, 0}, {0x80D8, 0x888}, {0x8014, 0}, {0x8014, 1},
              {0x0004, 4}, {0x0005, 0x120}, {0x0006, 4}, {0x000D, 0}, {0x0014, 0}, {0x0014, 1}, {0x00D8, 0x888}});
    s.pause(2);
    identification(s, kBank1, 0x4018);
    identification(s, 0, 0x4000);
    s.writes({{0x8023, 0xE}, {0x0023, 0xE}, {0x8024, 2}, {0x0024, 2}, {0x802A, 1}, {0x802B, 0}, {0x802C, 0},
              {0x002A, 1}, {0x002B, 0}, {0x002C, 0}});
    timing(s, kBank1, 0x29C026);
    timing(s, 0, 0x254002);
    s.writes({{0x8000, 4}, {0x0000, 4}, {0x8073, 0x924924}, {0x807A, 0xFFFF43}, {0x807C, 0x178001},
              {0x807D, 0x222E}, {0x807E, 0x4AC0BC}, {0x807F, kPatternIdle}, {0x8080, kPatternIdle},
              {0x8081, kPatternIdle}, {0x8082, 0x178001}, {0x8083, 0x222E}, {0x8084, 0x4AC0BC},
              {0x8085, kPatternIdle}, {0x8086, kPatternIdle}, {0x8087, kPatternIdle}, {0x8011, 1},
              {0x8013, 0x3038063}, {0x0011, 1}, {0x0013, 0x3038063}});
    for (uint32_t reg : {0x20u, 0x22u, 0x23u, 0x1Fu, 0x24u, 0x25u, 0xE0u}) s.fpgaFlag(reg);
    return s.take();
}

} // namespace

const SensorInitScript& r13InitScript() {
    static const SensorInitScript script = buildScript();
    return script;
}

} // namespace lumvek
