// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A read-only view of records the document owns through pointers: indexing and iterating give
// const references, so a reader cannot change a record behind the document's back.

#include <cstddef>
#include <memory>
#include <vector>

namespace brindle {

template <typename T> class RecordsView {
  public:
    using Owned = std::vector<std::unique_ptr<T>>;

    class const_iterator {
      public:
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        explicit const_iterator(typename Owned::const_iterator it) : m_it(it) {}
        const T& operator*() const { return **m_it; }
        const T* operator->() const { return m_it->get(); }
        const_iterator& operator++() {
            ++m_it;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++m_it;
            return old;
        }
        bool operator==(const const_iterator& o) const { return m_it == o.m_it; }

      private:
        typename Owned::const_iterator m_it;
    };

    explicit RecordsView(const Owned& records) : m_records(&records) {}

    std::size_t size() const { return m_records->size(); }
    bool empty() const { return m_records->empty(); }
    const T& operator[](std::size_t i) const { return *(*m_records)[i]; }
    const T& front() const { return *m_records->front(); }
    const T& back() const { return *m_records->back(); }
    const_iterator begin() const { return const_iterator(m_records->begin()); }
    const_iterator end() const { return const_iterator(m_records->end()); }

  private:
    const Owned* m_records;
};

} // namespace brindle
