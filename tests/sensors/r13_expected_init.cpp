#include "r13_expected_init.h"

#include <cstdlib>
#include <sstream>
#include <string>

namespace lumvek::test {
namespace {

// Parses "A=V" and "A-B=V" items (hexadecimal) into writes.
void parseInto(std::vector<RegisterWrite>& out, const std::string& text) {
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        const auto eq = item.find('=');
        const auto dash = item.find('-');
        const uint32_t value = static_cast<uint32_t>(std::stoul(item.substr(eq + 1), nullptr, 16));
        const uint32_t first = static_cast<uint32_t>(std::stoul(item.substr(0, dash < eq ? dash : eq), nullptr, 16));
        const uint32_t last = dash < eq ? static_cast<uint32_t>(std::stoul(item.substr(dash + 1, eq - dash - 1), nullptr, 16))
                                        : first;
        for (uint32_t a = first; a <= last; ++a) out.emplace_back(a, value);
    }
}

// 192 pattern words from `base`, all 3FFFFFF except the listed ones.
void pattern(std::vector<RegisterWrite>& out, uint32_t base, const std::string& exceptions) {
    std::vector<RegisterWrite> listed;
    parseInto(listed, exceptions);
    for (uint32_t a = base; a < base + 192; ++a) {
        uint32_t value = 0x3FFFFFF;
        for (const auto& [address, v] : listed) {
            if (address == a) value = v;
        }
        out.emplace_back(a, value);
    }
}

const char* kReset = "8025=1C018A0 8026=1C018A0 801C=0 80D1=100000 00D1=100000 8000=4 0000=4 8015=0 0015=0";

const char* kBank1 =
    "8408=4A067 840A=8C086 840E=4C066 8410=8A087 8412=8A087 8414=4A067 8416=8C086 8418=4C066 8438=15C236 "
    "843A=19C256 843E=15C236 8440=19C16E 8441=32C256 8442=19C256 8444=15C16E 8445=32C236 8446=19C256 8448=15C236 "
    "8456=2DC196 845A=2DC196 8460=F0003 8461=60B 8462=60B 8463=0 8464=10C086 8465=10C086 8466=1C018A0 8467-8469=0 "
    "846A=10C000 846B=1 846C=0 846D=10DFFF 846E=0 846F=10DFFF 8470=0 8471=10DFFF 8472=0 8477=29C026 8478=202128 "
    "8479=29C026 847C=29C026 847F-8481=0 8482=2DC15A 8484-8487=0 8488=F0403 8489=60B 848A=60B 848B=0 848C=4FC27E "
    "848D=4FC27E 848E=1C018A0 848F=0 8490=0 8491=208420 8492=4FC000 8493=1 8494=0 8495=4FDFFF 8496=0 8497=4FDFFF "
    "8498=0 8499=4FDFFF 849A=0 849F=29C026 84A0=202128 84A1=29C026 84A4=29C026 84A7-84A9=0 84AA=2DC15A "
    "84AC-84AF=0 84B0=20 84B1=0 84B2=60B 84B3=70A000 84B4-84B6=0 84B7=70C000 84B8=2001 84B9=0";

const char* kBank0 =
    "0408=4C066 040A=8C086 040E=4C066 0410=8C086 0412=8C086 0414=4C066 0416=8C086 0418=4C066 0438=15C236 "
    "043A=19C256 043E=15C236 0440=19C16E 0441=32C256 0442=19C256 0444=15C16E 0445=32C236 0446=19C256 0448=15C236 "
    "0456=2DC196 045A=2DC196 0460=F0003 0461=60B 0462=60B 0463=0 0464=10C086 0465=10C086 0466=1C018A0 0467-0469=0 "
    "046A=10C000 046B=1 046C=0 046D=10DFFF 046E=0 046F=10DFFF 0470=0 0471=10DFFF 0472=0 0477=254002 0478=202128 "
    "0479=254002 047C=254002 047F-0481=0 0482=294136 0484-0487=0 0488=F0403 0489=60B 048A=60B 048B=0 048C=4FC27E "
    "048D=4FC27E 048E=1C018A0 048F=0 0490=0 0491=8420 0492=4FC000 0493=1 0494=0 0495=4FDFFF 0496=0 0497=4FDFFF "
    "0498=0 0499=4FDFFF 049A=0 049F=254002 04A0=202128 04A1=254002 04A4=254002 04A7-04A9=0 04AA=294136 "
    "04AC-04AF=0 04B0=1 04B1=0 04B2=60B 04B3=2000 04B4-04B6=0 04B7=70C000 04B9=0";

const char* kControl =
    "8020=1 0020=0 000E=100 8021=0 8022=20026 8001=0 0001=0 8004=4 8005=120 8006=4 800D=0 80D8=888 8014=0 8014=1 "
    "0004=4 0005=120 0006=4 000D=0 0014=0 0014=1 00D8=888";

const char* kIdentity =
    "8040=2 8041=41 8043=E 8044=5155 8045=454C 8046=524F 8047=436F 8048=2E4C 8049=7464 804A=0 804B=F000 804C=203 "
    "804D=4018 804E=43 804F=0 80D2=916400 "
    "0040=2 0041=41 0043=E 0044=5155 0045=454C 0046=524F 0047=436F 0048=2E4C 0049=7464 004A=0 004B=F000 004C=203 "
    "004D=4000 004E=43 004F=0 00D2=916400";

const char* kReadout =
    "8023=E 0023=E 8024=2 0024=2 802A=1 802B=0 802C=0 002A=1 002B=0 002C=0 "
    "8030=12000 8031=10020 8032=10020 8033=10020 8034=13020 8035=200 8036=220022 8037=220022 8038=102040 "
    "8039=2000 803A=29C026 803B=0 "
    "0030=12000 0031=10020 0032=10020 0033=10020 0034=13020 0035=200 0036=220022 0037=220022 0038=102040 "
    "0039=2000 003A=254002 003B=0 "
    "8000=4 0000=4 8073=924924 807A=FFFF43 807C=178001 807D=222E 807E=4AC0BC 807F=3FFFFFF 8080=3FFFFFF "
    "8081=3FFFFFF 8082=178001 8083=222E 8084=4AC0BC 8085=3FFFFFF 8086=3FFFFFF 8087=3FFFFFF 8011=1 8013=3038063 "
    "0011=1 0013=3038063";

} // namespace

std::vector<RegisterWrite> expectedR13InitWrites() {
    std::vector<RegisterWrite> out;
    parseInto(out, kReset);
    parseInto(out, kReset);
    parseInto(out, "8017=0 8020=1 0020=0 8028=42 0028=42");
    pattern(out, 0x8400, kBank1);
    pattern(out, 0x0400, kBank0);
    parseInto(out, kControl);
    parseInto(out, kIdentity);
    parseInto(out, kReadout);
    return out;
}

std::vector<uint8_t> expectedR13InitFlags() { return {0x21, 0x20, 0x22, 0x23, 0x1F, 0x24, 0x25, 0xE0}; }

} // namespace lumvek::test
