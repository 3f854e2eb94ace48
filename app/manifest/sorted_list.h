// SortedList: one of the manifest's lists, a map from wide-text keys to
// texts (or pairs of texts) ordered by key. The entries are one flat array
// of views sorted by key and searched by bisection; the texts they view are
// carved from blocks of up to 16 KiB. A copy shares both: the array until
// one of them changes (then it copies it), the blocks always, as nothing
// rewrites a text and a copy never writes into a shared block. So building
// a list from a whole manifest element (FromEntries) costs a sort and a few
// blocks, and a copy a few reference counts, instead of a tree node and two
// strings per entry.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text/code_unit_less.h"

namespace rk::app {

// Which entry a key repeated in the source keeps.
enum class RepeatedKey { kLaterWins, kEarlierStays };

template <typename Mapped>
class SortedList {
public:
    using key_type = std::wstring_view;
    using mapped_type = Mapped;
    using value_type = std::pair<std::wstring_view, Mapped>;
    using const_iterator = typename std::vector<value_type>::const_iterator;
    using iterator = const_iterator;
    using size_type = std::size_t;

    // Texts up to this many characters share a block; longer ones get one
    // of their own. Blocks stay below the allocator's mapping threshold, so
    // a large list reuses heap pages instead of faulting in fresh mappings.
    static constexpr std::size_t kBlockChars = 4096;
    static constexpr std::size_t kFirstBlockChars = 64;
    static constexpr std::size_t kShortText = 32;

    SortedList() = default;
    // As std::map's: of a repeated key the first entry stays.
    SortedList(std::initializer_list<value_type> entries)
        : SortedList(FromEntries(std::vector<value_type>(entries), RepeatedKey::kEarlierStays)) {}
    SortedList(const SortedList& other)
        : entries_(other.entries_), first_block_(other.first_block_), more_blocks_(other.more_blocks_) {}
    SortedList(SortedList&& other) noexcept
        : entries_(std::exchange(other.entries_, {})),
          first_block_(std::exchange(other.first_block_, {})),
          more_blocks_(std::exchange(other.more_blocks_, {})),
          next_(std::exchange(other.next_, nullptr)),
          left_(std::exchange(other.left_, 0)) {}
    SortedList& operator=(const SortedList& other) {
        if (this != &other) {
            entries_ = other.entries_;
            first_block_ = other.first_block_;
            more_blocks_ = other.more_blocks_;
            next_ = nullptr;  // the free tail of a shared block is not ours to fill
            left_ = 0;
        }
        return *this;
    }
    SortedList& operator=(SortedList&& other) noexcept {
        if (this != &other) {
            entries_ = std::exchange(other.entries_, {});
            first_block_ = std::exchange(other.first_block_, {});
            more_blocks_ = std::exchange(other.more_blocks_, {});
            next_ = std::exchange(other.next_, nullptr);
            left_ = std::exchange(other.left_, 0);
        }
        return *this;
    }
    ~SortedList() = default;

    // The list of `entries` (in source order, their texts anywhere): one
    // entry per key, as `repeated` says. One sort, the texts copied once.
    static SortedList FromEntries(std::vector<value_type> entries, RepeatedKey repeated) {
        sort_by_key(entries);
        auto kept = entries.begin();
        for (auto run = entries.begin(); run != entries.end();) {
            auto run_end = run + 1;
            while (run_end != entries.end() && same_key(run_end->first, run->first)) {
                ++run_end;
            }
            *kept++ = repeated == RepeatedKey::kLaterWins ? *(run_end - 1) : *run;
            run = run_end;
        }
        entries.erase(kept, entries.end());
        SortedList list;
        std::size_t chars = 0;
        for (const auto& [key, mapped] : entries) {
            chars += key.size() + text_size(mapped);
        }
        list.reserve_text(chars);
        for (auto& [key, mapped] : entries) {
            key = list.keep(key);
            mapped = list.keep_mapped(mapped);
        }
        list.entries_ = std::make_shared<std::vector<value_type>>(std::move(entries));
        return list;
    }

    const_iterator begin() const { return entries().begin(); }
    const_iterator end() const { return entries().end(); }
    size_type size() const { return entries().size(); }
    bool empty() const { return entries().empty(); }

    const_iterator find(std::wstring_view key) const {
        const auto at = lower_bound(key);
        return at != end() && same_key(at->first, key) ? at : end();
    }
    bool contains(std::wstring_view key) const { return find(key) != end(); }

    // Adds the entry, or gives an existing key this value.
    void insert_or_assign(std::wstring_view key, const Mapped& mapped) {
        const auto at = lower_bound(key);
        const auto index = static_cast<std::size_t>(at - begin());
        if (at != end() && same_key(at->first, key)) {
            const Mapped kept = keep_mapped(mapped);
            own_entries()[index].second = kept;
        } else {
            insert_at(index, key, mapped);
        }
    }
    // Adds the entry unless the key is there; true when added.
    bool emplace(std::wstring_view key, const Mapped& mapped) {
        const auto at = lower_bound(key);
        if (at != end() && same_key(at->first, key)) {
            return false;
        }
        insert_at(static_cast<std::size_t>(at - begin()), key, mapped);
        return true;
    }

    friend bool operator==(const SortedList& a, const SortedList& b) { return a.entries() == b.entries(); }

private:
    static bool key_less(const value_type& a, const value_type& b) { return text::CodeUnitLess{}(a.first, b.first); }
    // Inline, as key_less: short keys cost less than a library call.
    static bool same_key(std::wstring_view a, std::wstring_view b) {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] != b[i]) {
                return false;
            }
        }
        return true;
    }

    const std::vector<value_type>& entries() const {
        static const std::vector<value_type> kNone;
        return entries_ ? *entries_ : kNone;
    }
    // The entries to change: copied first when a copy of the list shares them.
    std::vector<value_type>& own_entries() {
        if (!entries_) {
            entries_ = std::make_shared<std::vector<value_type>>();
        } else if (entries_.use_count() > 1) {
            entries_ = std::make_shared<std::vector<value_type>>(*entries_);
        }
        return *entries_;
    }

    // Short lists are sorted by insertion in place.
    static constexpr std::size_t kInsertionSortMax = 16;

    // The end of the run of entries in key order that starts at `from`.
    static std::size_t run_end(const std::vector<value_type>& entries, std::size_t from) {
        std::size_t i = from + 1;
        while (i < entries.size() && !key_less(entries[i], entries[i - 1])) {
            ++i;
        }
        return i;
    }

    // A stable sort by key that takes the runs already in key order as they
    // come and merges neighbouring runs, the shorter ones first (the rules
    // of Timsort's run stack, which bound the work to n log n): a list
    // written in key order costs one pass, one of a few ordered runs
    // (numbered names) little more, any other order a merge sort.
    static void sort_by_key(std::vector<value_type>& entries) {
        const std::size_t n = entries.size();
        if (n < 2 || run_end(entries, 0) == n) {
            return;
        }
        if (n <= kInsertionSortMax) {
            for (std::size_t i = 1; i < n; ++i) {
                value_type entry = entries[i];
                std::size_t j = i;
                for (; j > 0 && key_less(entry, entries[j - 1]); --j) {
                    entries[j] = entries[j - 1];
                }
                entries[j] = entry;
            }
            return;
        }
        struct Run {
            std::size_t start;
            std::size_t size;
        };
        std::vector<Run> runs;
        std::vector<value_type> scratch;
        const auto merge_at = [&](std::size_t i) {
            merge_runs(entries, runs[i].start, runs[i + 1].start, runs[i + 1].start + runs[i + 1].size, scratch);
            runs[i].size += runs[i + 1].size;
            runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        };
        for (std::size_t start = 0; start < n;) {
            const std::size_t end = run_end(entries, start);
            runs.push_back({start, end - start});
            start = end;
            while (runs.size() > 1) {
                std::size_t i = runs.size() - 2;
                if ((i > 0 && runs[i - 1].size <= runs[i].size + runs[i + 1].size) ||
                    (i > 1 && runs[i - 2].size <= runs[i - 1].size + runs[i].size)) {
                    if (runs[i - 1].size < runs[i + 1].size) {
                        --i;
                    }
                } else if (runs[i].size > runs[i + 1].size) {
                    break;
                }
                merge_at(i);
            }
        }
        while (runs.size() > 1) {
            merge_at(runs.size() - 2);
        }
    }

    // Merges the neighbouring runs [first, middle) and [middle, last) in
    // place, the shorter one moved out to `scratch`; of equal keys the left
    // run's entry comes first.
    static void merge_runs(std::vector<value_type>& entries, std::size_t first, std::size_t middle, std::size_t last,
                           std::vector<value_type>& scratch) {
        value_type* const e = entries.data();
        if (middle - first <= last - middle) {
            scratch.assign(e + first, e + middle);
            std::size_t i = 0;
            std::size_t j = middle;
            std::size_t to = first;
            while (i < scratch.size() && j < last) {
                e[to++] = key_less(e[j], scratch[i]) ? e[j++] : scratch[i++];
            }
            while (i < scratch.size()) {
                e[to++] = scratch[i++];
            }
        } else {
            scratch.assign(e + middle, e + last);
            std::size_t i = scratch.size();
            std::size_t j = middle;
            std::size_t to = last;
            while (i > 0 && j > first) {
                e[--to] = key_less(scratch[i - 1], e[j - 1]) ? e[--j] : scratch[--i];
            }
            while (i > 0) {
                e[--to] = scratch[--i];
            }
        }
    }

    const_iterator lower_bound(std::wstring_view key) const {
        return std::lower_bound(begin(), end(), key,
                                [](const value_type& entry, std::wstring_view k) {
                                    return text::CodeUnitLess{}(entry.first, k);
                                });
    }

    void insert_at(std::size_t index, std::wstring_view key, const Mapped& mapped) {
        // Texts first: a key or value that views this list's own blocks
        // stays valid, blocks never move.
        value_type entry{keep(key), keep_mapped(mapped)};
        auto& entries = own_entries();
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(index), entry);
    }

    static std::size_t text_size(std::wstring_view text) { return text.size(); }
    static std::size_t text_size(const std::pair<std::wstring_view, std::wstring_view>& texts) {
        return texts.first.size() + texts.second.size();
    }

    // Room for `chars` characters of short texts (as much as a block holds).
    void reserve_text(std::size_t chars) {
        if (chars > left_) {
            const std::size_t size = std::min(chars, kBlockChars);
            next_ = new_block(size);
            left_ = size;
        }
    }

    // A copy of `text` in this list's blocks.
    std::wstring_view keep(std::wstring_view text) {
        if (text.empty()) {
            return {};
        }
        wchar_t* to = nullptr;
        if (text.size() <= left_) {
            to = next_;
            next_ += text.size();
            left_ -= text.size();
        } else if (text.size() > kBlockChars / 4) {
            to = new_block(text.size());
        } else {
            // Blocks grow with the list: a list of a few entries stays small.
            const std::size_t grown = kFirstBlockChars
                                      << (first_block_ == nullptr ? 0 : std::min<std::size_t>(more_blocks_.size() + 1, 6));
            const std::size_t size = std::max(text.size(), std::min(kBlockChars, grown));
            to = new_block(size);
            next_ = to + text.size();
            left_ = size - text.size();
        }
        if (text.size() <= kShortText) {
            for (std::size_t i = 0; i < text.size(); ++i) {  // no library call for a short text
                to[i] = text[i];
            }
        } else {
            std::copy(text.begin(), text.end(), to);
        }
        return {to, text.size()};
    }
    std::wstring_view keep_mapped(std::wstring_view text) { return keep(text); }
    std::pair<std::wstring_view, std::wstring_view> keep_mapped(
        const std::pair<std::wstring_view, std::wstring_view>& texts) {
        return {keep(texts.first), keep(texts.second)};
    }

    wchar_t* new_block(std::size_t chars) {
        auto block = std::make_shared_for_overwrite<wchar_t[]>(chars);
        wchar_t* at = block.get();
        if (first_block_ == nullptr) {
            first_block_ = std::move(block);
        } else {
            more_blocks_.push_back(std::move(block));
        }
        return at;
    }

    // Shared by copies until one of them changes.
    std::shared_ptr<std::vector<value_type>> entries_;
    // Most lists need one block: it is kept apart, so that neither a list
    // nor its copy allocates for the array of blocks.
    std::shared_ptr<const wchar_t[]> first_block_;
    std::vector<std::shared_ptr<const wchar_t[]>> more_blocks_;
    // The free tail of the block this list fills, one it made itself.
    wchar_t* next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace rk::app
