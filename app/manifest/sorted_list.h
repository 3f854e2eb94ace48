// SortedList: one of the manifest's lists, a map from wide-text keys to
// texts (or pairs of texts) ordered by key. The entries are one flat array
// of views sorted by key and searched by bisection. A list built from a
// whole manifest element (FromEntries) lives in one allocation: the array,
// then the texts it views. A copy shares everything: nothing rewrites a
// text, and a list that changes copies the array first when it is shared;
// texts it adds are carved from blocks of up to 16 KiB of its own. So a
// list costs one allocation and a sort, and a copy a few reference counts,
// instead of a tree node and two strings per entry.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>
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
    using const_iterator = const value_type*;
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
        : SortedList(FromEntries(std::span<const value_type>(entries.begin(), entries.size()), RepeatedKey::kEarlierStays)) {}
    SortedList(const SortedList& other)
        : frozen_(other.frozen_),
          vector_(other.vector_),
          data_(other.data_),
          size_(other.size_),
          first_block_(other.first_block_),
          more_blocks_(other.more_blocks_) {}
    SortedList(SortedList&& other) noexcept { take(other); }
    SortedList& operator=(const SortedList& other) {
        if (this != &other) {
            *this = SortedList(other);
        }
        return *this;
    }
    SortedList& operator=(SortedList&& other) noexcept {
        if (this != &other) {
            take(other);
        }
        return *this;
    }
    ~SortedList() = default;

    // The list of `source` (entries in source order, their texts anywhere):
    // one entry per key, as `repeated` says. One allocation holds the array
    // and the texts (those of dropped repeats too: they cost less to keep
    // than a second pass).
    static SortedList FromEntries(std::span<const value_type> source, RepeatedKey repeated) {
        const std::size_t n = source.size();
        if (n == 0) {
            return {};
        }
        std::size_t chars = 0;
        for (const auto& [key, mapped] : source) {
            chars += key.size() + text_size(mapped);
        }
        std::size_t space = alignof(value_type) + n * sizeof(value_type) + chars * sizeof(wchar_t);
        auto block = std::make_shared_for_overwrite<std::byte[]>(space);
        void* at = block.get();
        std::align(alignof(value_type), n * sizeof(value_type), at, space);
        value_type* const entries = static_cast<value_type*>(at);
        std::uninitialized_copy(source.begin(), source.end(), entries);
        // Texts first, in source order: the source is read front to back,
        // and the sort then reads keys from this one block.
        wchar_t* text = reinterpret_cast<wchar_t*>(entries + n);
        for (std::size_t i = 0; i < n; ++i) {
            entries[i].first = copy_text(entries[i].first, text);
            entries[i].second = copy_mapped(entries[i].second, text);
        }
        sort_by_key(std::span<value_type>(entries, n));
        std::size_t kept = 0;
        for (std::size_t run = 0; run < n;) {
            std::size_t run_end = run + 1;
            while (run_end < n && same_key(entries[run_end].first, entries[run].first)) {
                ++run_end;
            }
            entries[kept++] = entries[repeated == RepeatedKey::kLaterWins ? run_end - 1 : run];
            run = run_end;
        }
        SortedList list;
        list.frozen_ = std::move(block);
        list.data_ = entries;
        list.size_ = kept;
        return list;
    }

    const_iterator begin() const { return data_; }
    const_iterator end() const { return data_ + size_; }
    size_type size() const { return size_; }
    bool empty() const { return size_ == 0; }

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
            sync();
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

    friend bool operator==(const SortedList& a, const SortedList& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

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

    void take(SortedList& other) noexcept {
        frozen_ = std::exchange(other.frozen_, {});
        vector_ = std::exchange(other.vector_, {});
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        first_block_ = std::exchange(other.first_block_, {});
        more_blocks_ = std::exchange(other.more_blocks_, {});
        next_ = std::exchange(other.next_, nullptr);
        left_ = std::exchange(other.left_, 0);
    }

    // The entries to change: copied into a vector of this list's own first
    // when they are frozen or shared (frozen texts stay where they are).
    std::vector<value_type>& own_entries() {
        if (!vector_ || vector_.use_count() > 1) {
            vector_ = std::make_shared<std::vector<value_type>>(begin(), end());
        }
        return *vector_;
    }
    void sync() {
        data_ = vector_->data();
        size_ = vector_->size();
    }

    static std::wstring_view copy_text(std::wstring_view text, wchar_t*& to) {
        wchar_t* const at = to;
        for (std::size_t i = 0; i < text.size(); ++i) {
            at[i] = text[i];
        }
        to += text.size();
        return {at, text.size()};
    }
    static std::wstring_view copy_mapped(std::wstring_view text, wchar_t*& to) { return copy_text(text, to); }
    static std::pair<std::wstring_view, std::wstring_view> copy_mapped(
        const std::pair<std::wstring_view, std::wstring_view>& texts, wchar_t*& to) {
        const std::wstring_view first = copy_text(texts.first, to);
        return {first, copy_text(texts.second, to)};
    }

    // Short lists are sorted by insertion in place.
    static constexpr std::size_t kInsertionSortMax = 16;

    // An entry's position with the first eight characters of its key packed
    // in order into one number (each at most U+00FF, as a manifest's are).
    struct Prefixed {
        std::uint64_t prefix;
        std::size_t index;
    };
    static bool pack_prefix(std::wstring_view key, std::uint64_t& prefix) {
        std::uint64_t packed = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            const auto c = i < key.size() ? static_cast<std::uint32_t>(key[i]) : 0u;
            if (c > 0xFFu) {
                return false;
            }
            packed = packed << 8 | c;
        }
        prefix = packed;
        return true;
    }

    // Sorts by key, stably. A long list whose keys pack is sorted by the
    // packed prefixes, which settle most comparisons without reading the
    // keys (scattered over the document: a cache miss each); keys equal in
    // their first eight characters are compared in full.
    static void sort_by_key(std::span<value_type> entries) {
        const std::size_t n = entries.size();
        if (n <= kInsertionSortMax || run_end<value_type>(entries, 0, key_less) == n) {
            sort_runs<value_type>(entries, key_less);
            return;
        }
        std::vector<Prefixed> order(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (!pack_prefix(entries[i].first, order[i].prefix)) {
                sort_runs<value_type>(entries, key_less);
                return;
            }
            order[i].index = i;
        }
        sort_runs<Prefixed>(order, [&](const Prefixed& a, const Prefixed& b) {
            if (a.prefix != b.prefix) {
                return a.prefix < b.prefix;
            }
            const std::wstring_view x = entries[a.index].first;
            const std::wstring_view y = entries[b.index].first;
            return (x.size() > 8 || y.size() > 8) ? text::CodeUnitLess{}(x, y) : x.size() < y.size();
        });
        const std::vector<value_type> unsorted(entries.begin(), entries.end());
        for (std::size_t i = 0; i < n; ++i) {
            entries[i] = unsorted[order[i].index];
        }
    }

    // The end of the run of entries in key order that starts at `from`.
    template <typename T, typename Less>
    static std::size_t run_end(std::span<const T> entries, std::size_t from, Less less) {
        std::size_t i = from + 1;
        while (i < entries.size() && !less(entries[i], entries[i - 1])) {
            ++i;
        }
        return i;
    }

    // A stable sort by key that takes the runs already in key order as they
    // come and merges neighbouring runs, the shorter ones first (the rules
    // of Timsort's run stack, which bound the work to n log n): a list
    // written in key order costs one pass, one of a few ordered runs
    // (numbered names) little more, any other order a merge sort.
    template <typename T, typename Less>
    static void sort_runs(std::span<T> entries, Less less) {
        const std::size_t n = entries.size();
        if (n < 2 || run_end<T>(entries, 0, less) == n) {
            return;
        }
        if (n <= kInsertionSortMax) {
            for (std::size_t i = 1; i < n; ++i) {
                T entry = entries[i];
                std::size_t j = i;
                for (; j > 0 && less(entry, entries[j - 1]); --j) {
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
        std::vector<T> scratch;
        const auto merge_at = [&](std::size_t i) {
            merge_runs<T>(entries, runs[i].start, runs[i + 1].start, runs[i + 1].start + runs[i + 1].size, scratch,
                          less);
            runs[i].size += runs[i + 1].size;
            runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        };
        for (std::size_t start = 0; start < n;) {
            const std::size_t end = run_end<T>(entries, start, less);
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
    template <typename T, typename Less>
    static void merge_runs(std::span<T> entries, std::size_t first, std::size_t middle, std::size_t last,
                           std::vector<T>& scratch, Less less) {
        T* const e = entries.data();
        if (middle - first <= last - middle) {
            scratch.assign(e + first, e + middle);
            std::size_t i = 0;
            std::size_t j = middle;
            std::size_t to = first;
            while (i < scratch.size() && j < last) {
                e[to++] = less(e[j], scratch[i]) ? e[j++] : scratch[i++];
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
                e[--to] = less(scratch[i - 1], e[j - 1]) ? e[--j] : scratch[--i];
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
        sync();
    }

    static std::size_t text_size(std::wstring_view text) { return text.size(); }
    static std::size_t text_size(const std::pair<std::wstring_view, std::wstring_view>& texts) {
        return texts.first.size() + texts.second.size();
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

    // The array and texts FromEntries made; kept after a change for the
    // texts the entries still view.
    std::shared_ptr<const std::byte[]> frozen_;
    // The entries after a change, shared by copies until one changes.
    std::shared_ptr<std::vector<value_type>> vector_;
    const value_type* data_ = nullptr;
    std::size_t size_ = 0;
    // Most lists need one block: it is kept apart, so that neither a list
    // nor its copy allocates for the array of blocks.
    std::shared_ptr<const wchar_t[]> first_block_;
    std::vector<std::shared_ptr<const wchar_t[]>> more_blocks_;
    // The free tail of the block this list fills, one it made itself.
    wchar_t* next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace rk::app
