// The installed udev rule grants access to exactly the products of the
// product table (a product added to the table without a rule line would be
// a camera its user cannot open).
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "camera/product_table.h"

namespace lumvek {
namespace {

TEST(UdevRule, TagsEveryProductOfTheTableForTheSeatUser) {
    std::ifstream in(LUMVEK_UDEV_RULE_PATH);
    ASSERT_TRUE(in) << LUMVEK_UDEV_RULE_PATH;
    const std::regex productLine(R"re(^ATTR\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess"$)re");
    std::set<int> tagged;
    bool vendorChecked = false;
    std::string line;
    while (std::getline(in, line)) {
        std::smatch match;
        if (std::regex_match(line, match, productLine)) {
            EXPECT_TRUE(vendorChecked) << "product lines must follow the vendor check";
            tagged.insert(std::stoi(match[1].str(), nullptr, 16));
        }
        vendorChecked = vendorChecked || line == R"(ATTR{idVendor}!="04b4", GOTO="lumvek_end")";
    }
    std::set<int> products;
    for (const ProductRow& row : productTable()) products.insert(row.productId);
    EXPECT_EQ(tagged, products);
}

} // namespace
} // namespace lumvek
