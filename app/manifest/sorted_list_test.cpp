#include "app/manifest/sorted_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using rk::app::RepeatedKey;
using List = rk::app::SortedList<std::wstring_view>;

std::vector<std::pair<std::wstring, std::wstring>> contents(const List& list) {
    std::vector<std::pair<std::wstring, std::wstring>> out;
    for (const auto& [key, value] : list) {
        out.emplace_back(key, value);
    }
    return out;
}

// A copy shares the texts of the list it was made from; both go on growing
// without seeing each other's entries or overwriting each other's texts.
TEST(SortedList, CopiesGrowIndependently) {
    std::wstring source_key = L"b";
    List original = List::FromEntries(std::vector<List::value_type>{{source_key, L"1"}, {L"a", L"2"}}, RepeatedKey::kLaterWins);
    source_key = L"x";  // the list keeps its own copy of the text
    List copy = original;
    original.insert_or_assign(L"c", L"from original");
    copy.insert_or_assign(L"c", L"from copy");
    copy.insert_or_assign(L"a", L"changed");
    original.emplace(L"d", std::wstring(5000, L'd'));  // longer than a block
    using Contents = std::vector<std::pair<std::wstring, std::wstring>>;
    EXPECT_EQ(contents(original),
              (Contents{{L"a", L"2"}, {L"b", L"1"}, {L"c", L"from original"}, {L"d", std::wstring(5000, L'd')}}));
    EXPECT_EQ(contents(copy), (Contents{{L"a", L"changed"}, {L"b", L"1"}, {L"c", L"from copy"}}));
    List moved = std::move(copy);
    moved.insert_or_assign(L"e", L"5");
    EXPECT_EQ(moved.size(), 4u);
    EXPECT_EQ(moved.find(L"c")->second, L"from copy");
}

// Lists in any order (sorted, reversed, in ordered runs, shuffled) come out
// as ordered maps filled entry by entry would: keys order by code unit (upper
// case before lower, wider units last), a repeated key keeps the entry the
// caller asks for.
TEST(SortedList, AgreesWithAnOrderedMap) {
    // Short keys, keys that share their first eight characters, the empty
    // key, and (in the second set) keys beyond U+00FF.
    for (const std::wstring odd : {L"K", L"\u00e9\u4E00"}) {
        std::vector<std::wstring> keys;
        for (int i = 0; i < 1500; ++i) {
            const int n = i % 1000;  // the last 500 repeat
            keys.push_back(n == 11 ? L""
                                   : (n % 3 == 0 ? L"LONGKEY_" : n == 7 ? odd : n % 5 == 0 ? L"k" : L"K") +
                                         std::to_wstring(n));
        }
        std::vector<std::wstring> shuffled = keys;
        std::mt19937 random(7);
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        std::vector<std::wstring> sorted = keys;
        std::sort(sorted.begin(), sorted.end());
        const std::vector<std::wstring> reversed(sorted.rbegin(), sorted.rend());
        const std::vector<const std::vector<std::wstring>*> orders{&keys, &shuffled, &sorted, &reversed};
        for (const auto* order : orders) {
            std::vector<List::value_type> entries;
            std::map<std::wstring, std::wstring> later_wins;
            std::map<std::wstring, std::wstring> earlier_stays;
            std::vector<std::wstring> values;
            values.reserve(order->size());
            for (const auto& key : *order) {
                values.push_back(std::to_wstring(values.size()));
                entries.emplace_back(key, values.back());
                later_wins.insert_or_assign(key, values.back());
                earlier_stays.emplace(key, values.back());
            }
            using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;
            const List list = List::FromEntries(entries, RepeatedKey::kLaterWins);
            EXPECT_EQ(contents(list), Pairs(later_wins.begin(), later_wins.end()));
            EXPECT_TRUE(list.contains(L"") && list.contains(L"k5"));
            EXPECT_EQ(list.find(L"K5"), list.end());
            EXPECT_EQ(contents(List::FromEntries(entries, RepeatedKey::kEarlierStays)),
                      Pairs(earlier_stays.begin(), earlier_stays.end()));
        }
    }
}

}  // namespace
