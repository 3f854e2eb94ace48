// The one object of an error category. It is built on first use and never
// destroyed, like the standard library's own categories: a thread that is
// still winding down while the process exits (a framework connector, a
// download worker) may describe an error after static destructors have run.
#pragma once

#include <system_error>

namespace dira_doro {

namespace detail {

template <class Category>
union ImmortalCategory {
    constexpr ImmortalCategory() : category() {}
    ~ImmortalCategory() {}  // deliberately leaves the category alive
    Category category;
};

}  // namespace detail

template <class Category>
const std::error_category& category_instance() noexcept {
    static detail::ImmortalCategory<Category> holder;
    return holder.category;
}

}  // namespace dira_doro
