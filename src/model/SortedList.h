#pragma once
// The storage and the order rules shared by the note list and the event list: elements held by
// value in one contiguous array, in non-decreasing time order, a new element placed after those
// with the same time. Searches rely on that order and use binary search.

#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>
#include <limits>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/Errors.h"
#include "model/TimeBase.h"

// T is the element type, Time the member holding its tick.
template <class T, tick T::*Time> class CSortedList {
public:
    using value_type = T;
    using const_iterator = typename std::vector<T>::const_iterator;

    int GetCount() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    // Checked access; throws CInvalidArgument for a bad index.
    const T& operator[](int i) const { return At(i); }
    const T& At(int i) const
    {
        CheckIndex(i, GetCount());
        return m_items[static_cast<size_t>(i)];
    }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

    void Clear() { m_items.clear(); }
    // Makes room for count elements without changing the content.
    void Reserve(int count)
    {
        if (count > GetCount()) GuardAlloc([&] { m_items.reserve(static_cast<size_t>(count)); });
    }
    // Removes element i and hands it back.
    T RemoveAt(int i)
    {
        T item = At(i);
        m_items.erase(m_items.begin() + i);
        return item;
    }

    // First index >= from whose time is >= t, else the count. from may be 0..count.
    int FindFirstAtOrAfter(int from, tick t) const
    {
        CheckIndex(from, GetCount() + 1LL);
        auto it = std::lower_bound(m_items.begin() + from, m_items.end(), t,
                                   [](const T& x, tick value) { return x.*Time < value; });
        return static_cast<int>(it - m_items.begin());
    }
    // Places item after every element with the same or an earlier time; returns its index.
    int Insert(const T& item)
    {
        const int index = InsertionIndex(item.*Time);
        EnsureRoom(1);
        GuardAlloc([&] {
            if (index == GetCount()) {
                m_items.push_back(item);
            } else {
                m_items.insert(m_items.begin() + index, item);
            }
        });
        return index;
    }
    // Adds at the end when that keeps the order (the fast way to build a list in time order);
    // an element earlier than the last one is inserted in its place instead. Returns its index.
    int Append(const T& item)
    {
        if (!m_items.empty() && item.*Time < m_items.back().*Time) return Insert(item);
        EnsureRoom(1);
        GuardAlloc([&] { m_items.push_back(item); });
        return GetCount() - 1;
    }
    // Overwrites element i in place when the time is unchanged, else moves it to its sorted
    // place. Returns the element's new index.
    int ReplaceAt(int i, const T& item)
    {
        CheckIndex(i, GetCount());
        if (m_items[static_cast<size_t>(i)].*Time == item.*Time) {
            m_items[static_cast<size_t>(i)] = item;
            return i;
        }
        const T copy = item; // item may refer to element i
        m_items.erase(m_items.begin() + i);
        return Insert(copy);
    }

    // Index of the first / last element equal in every field, else -1.
    int FindEqual(const T& item) const
    {
        auto [first, last] = EqualTimeRange(item.*Time);
        auto it = std::find(first, last, item);
        return it == last ? -1 : static_cast<int>(it - m_items.begin());
    }
    int FindEqualFromEnd(const T& item) const
    {
        auto [first, last] = EqualTimeRange(item.*Time);
        for (auto it = last; it != first;) {
            if (*--it == item) return static_cast<int>(it - m_items.begin());
        }
        return -1;
    }
    // Removes the first equal element; returns its index or -1.
    int RemoveEqual(const T& item)
    {
        const int index = FindEqual(item);
        if (index >= 0) m_items.erase(m_items.begin() + index);
        return index;
    }
    // Removes as many copies of each element as other holds, the last copies first; returns how
    // many were removed, and the indices they had (ascending) in removedAt when given. Linear in
    // both lists, also within long runs of equal times.
    int RemoveAllOf(const CSortedList& other, std::vector<int>* removedAt = nullptr)
    {
        if (removedAt != nullptr) removedAt->clear();
        if (other.m_items.empty() || m_items.empty()) return 0;
        // Marks live beside the elements, so an element that happens to equal the empty value
        // is never mistaken for one already removed.
        std::vector<char> gone(m_items.size(), 0);
        int removed = 0;
        size_t from = 0;
        const size_t otherCount = other.m_items.size();
        for (size_t b = 0; b < otherCount;) {
            const tick t = other.m_items[b].*Time;
            size_t e = b + 1;
            while (e < otherCount && other.m_items[e].*Time == t)
                ++e;
            const auto first = std::lower_bound(m_items.begin() + static_cast<ptrdiff_t>(from),
                                                m_items.end(), t, TimeLess{});
            const auto last = std::upper_bound(first, m_items.end(), t, TimeLess{});
            from = static_cast<size_t>(last - m_items.begin());
            removed += MarkRun(other.m_items.begin() + static_cast<ptrdiff_t>(b),
                               other.m_items.begin() + static_cast<ptrdiff_t>(e),
                               static_cast<size_t>(first - m_items.begin()), from, gone);
            b = e;
        }
        if (removed == 0) return 0;
        size_t kept = 0;
        for (size_t k = 0; k < m_items.size(); ++k) {
            if (!gone[k])
                m_items[kept++] = m_items[k];
            else if (removedAt != nullptr)
                removedAt->push_back(static_cast<int>(k));
        }
        m_items.resize(kept);
        return removed;
    }
    // Puts elements back at the indices they had before RemoveAllOf took them out (at ascending,
    // items in that order), so that equal times keep their former order. False, with the list
    // unchanged, when they do not fit there.
    bool RestoreAt(const std::vector<int>& at, const CSortedList& items)
    {
        if (at.size() != items.m_items.size()) return false;
        const size_t total = m_items.size() + at.size();
        std::vector<T> out;
        GuardAlloc([&] { out.reserve(total); });
        size_t next = 0;
        for (size_t j = 0; j < at.size(); ++j) {
            const size_t index = static_cast<size_t>(at[j]);
            if (at[j] < 0 || index < out.size() || index >= total) return false;
            const size_t before = index - out.size();
            if (before > m_items.size() - next) return false;
            out.insert(out.end(), m_items.begin() + static_cast<ptrdiff_t>(next),
                       m_items.begin() + static_cast<ptrdiff_t>(next + before));
            next += before;
            out.push_back(items.m_items[j]);
        }
        out.insert(out.end(), m_items.begin() + static_cast<ptrdiff_t>(next), m_items.end());
        const auto later = [](const T& a, const T& b) { return b.*Time < a.*Time; };
        if (std::adjacent_find(out.begin(), out.end(), later) != out.end()) return false;
        m_items.swap(out);
        return true;
    }
    // Replaces the content by items put in time order (stable: equal times keep their order).
    void Assign(std::vector<T> items)
    {
        std::stable_sort(items.begin(), items.end(),
                         [](const T& a, const T& b) { return a.*Time < b.*Time; });
        m_items.swap(items);
    }
    // Merges other in by time; on equal times this list's elements come first.
    void MergeFrom(const CSortedList& other)
    {
        if (other.m_items.empty()) return;
        EnsureRoom(other.m_items.size());
        std::vector<T> merged;
        GuardAlloc([&] { merged.reserve(m_items.size() + other.m_items.size()); });
        std::merge(m_items.begin(), m_items.end(), other.m_items.begin(), other.m_items.end(),
                   std::back_inserter(merged),
                   [](const T& a, const T& b) { return a.*Time < b.*Time; });
        m_items.swap(merged);
    }
    // Refills this list with src less remove (as RemoveAllOf) merged with add (as MergeFrom).
    // Only the span of times the two sets reach is rebuilt; the rest of src is copied in two
    // blocks, so a small edit of a long list costs a copy, not a sort or a merge of everything.
    // removedAt as for RemoveAllOf. False, with this list unchanged, when src lacks some of
    // remove. src must not be this list.
    bool AssignEdited(const CSortedList& src, const CSortedList& remove, const CSortedList& add,
                      std::vector<int>* removedAt = nullptr)
    {
        if (removedAt != nullptr) removedAt->clear();
        tick lo = std::numeric_limits<tick>::max();
        tick hi = std::numeric_limits<tick>::min();
        for (const CSortedList* set : {&remove, &add}) {
            if (set->m_items.empty()) continue;
            lo = std::min(lo, set->m_items.front().*Time);
            hi = std::max(hi, set->m_items.back().*Time);
        }
        const auto& items = src.m_items;
        const auto first = std::lower_bound(items.begin(), items.end(), lo, TimeLess{});
        const auto last = lo > hi ? first : std::upper_bound(first, items.end(), hi, TimeLess{});
        CSortedList span;
        GuardAlloc([&] { span.m_items.assign(first, last); });
        if (span.RemoveAllOf(remove, removedAt) != remove.GetCount()) return false;
        const auto offset = static_cast<int>(first - items.begin());
        if (removedAt != nullptr)
            for (int& index : *removedAt)
                index += offset;
        span.MergeFrom(add);
        std::vector<T> out;
        GuardAlloc([&] {
            out.reserve(items.size() - static_cast<size_t>(last - first) + span.m_items.size());
            out.insert(out.end(), items.begin(), first);
            out.insert(out.end(), span.m_items.begin(), span.m_items.end());
            out.insert(out.end(), last, items.end());
        });
        m_items.swap(out);
        return true;
    }
    // Same count and equal element by element.
    bool SameAs(const CSortedList& other) const { return m_items == other.m_items; }

protected:
    // Refills this list from src in one pass: each source element is copied, handed to edit,
    // and kept when edit returns true. src may be this list.
    template <class Edit> void RebuildFrom(const CSortedList& src, Edit edit)
    {
        std::vector<T> out;
        GuardAlloc([&] { out.reserve(src.m_items.size()); });
        for (const T& s : src.m_items) {
            T item = s;
            if (edit(item)) out.push_back(item);
        }
        // Give back a large unused tail; a near-full copy keeps its buffer as it is.
        if (out.capacity() - out.size() > out.size() / 8) GuardAlloc([&] { out.shrink_to_fit(); });
        m_items.swap(out);
    }
    // Refills this list with the elements of src whose time t has a <= t < b. src may be this
    // list.
    void CopyTimeRange(const CSortedList& src, tick a, tick b)
    {
        const int first = src.FindFirstAtOrAfter(0, a);
        const int last = src.FindFirstAtOrAfter(first, b);
        if (last <= first) {
            m_items.clear();
            return;
        }
        std::vector<T> out;
        GuardAlloc([&] { out.assign(src.m_items.begin() + first, src.m_items.begin() + last); });
        m_items.swap(out);
    }
    // Applies edit to every element in place; edit must move all times alike.
    template <class Edit> void EditAll(Edit edit)
    {
        for (T& item : m_items)
            edit(item);
    }
    // Erases elements first..last-1.
    void EraseRange(int first, int last)
    {
        if (last > first) m_items.erase(m_items.begin() + first, m_items.begin() + last);
    }

    std::vector<T> m_items;

private:
    struct TimeLess {
        bool operator()(const T& x, tick value) const { return x.*Time < value; }
        bool operator()(tick value, const T& x) const { return value < x.*Time; }
    };
    // Marks, within this list's run [first, last) of one time, the last still unmarked copy of
    // each element of the other list's run [src, srcEnd) of that time. Returns the number marked.
    int MarkRun(const_iterator src, const_iterator srcEnd, size_t first, size_t last,
                std::vector<char>& gone) const
    {
        if (first == last) return 0;
        const size_t wanted = static_cast<size_t>(srcEnd - src);
        int marked = 0;
        if (wanted * (last - first) <= kShortRunWork) {
            for (auto it = srcEnd; it != src;) {
                --it;
                for (size_t k = last; k > first; --k) {
                    if (!gone[k - 1] && m_items[k - 1] == *it) {
                        gone[k - 1] = 1;
                        ++marked;
                        break;
                    }
                }
            }
            return marked;
        }
        // Long runs (a chord of many notes, a burst of events): count what is wanted of each
        // value, then take the last copies in one backward walk.
        std::unordered_map<T, size_t, Hasher> counts;
        counts.reserve(wanted);
        for (auto it = src; it != srcEnd; ++it)
            ++counts[*it];
        for (size_t k = last; k > first; --k) {
            auto found = counts.find(m_items[k - 1]);
            if (found == counts.end() || found->second == 0) continue;
            --found->second;
            gone[k - 1] = 1;
            ++marked;
        }
        return marked;
    }
    struct Hasher {
        size_t operator()(const T& item) const { return HashOf(item); }
    };
    // Above this many comparisons a run is matched through a hash table instead.
    static constexpr size_t kShortRunWork = 64;

    // Index after every element with time <= t; appending in time order needs no search.
    int InsertionIndex(tick t) const
    {
        if (m_items.empty() || m_items.back().*Time <= t) return GetCount();
        auto it = std::upper_bound(m_items.begin(), m_items.end(), t,
                                   [](tick value, const T& x) { return value < x.*Time; });
        return static_cast<int>(it - m_items.begin());
    }
    // The run of elements whose time is t.
    std::pair<const_iterator, const_iterator> EqualTimeRange(tick t) const
    {
        return std::equal_range(m_items.begin(), m_items.end(), t, TimeLess{});
    }
    // Counts are ints throughout the model; refuse to grow past what an int can index.
    void EnsureRoom(size_t extra) const
    {
        if (extra > static_cast<size_t>(INT_MAX) - m_items.size()) throw COutOfMemory();
    }
    // Reports allocation failure as the model's out-of-memory error.
    template <class Fn> static void GuardAlloc(Fn fn)
    {
        try {
            fn();
        } catch (const std::bad_alloc&) {
            throw COutOfMemory();
        } catch (const std::length_error&) {
            throw COutOfMemory();
        }
    }
};
