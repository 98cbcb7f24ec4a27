#pragma once
// Owners for what libcurl hands out, so that an early return or an exception never leaks a handle or a
// command list, and a setter for options that checks the value's type. Private to the libcurl FTP client.
#include <curl/curl.h>

#include <initializer_list>
#include <memory>
#include <new>
#include <type_traits>

namespace kestrun::platform::curl {

struct EasyCleanup {
  void operator()(CURL* handle) const noexcept {
    // No callbacks while libcurl closes the connection: nobody is listening any more.
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 0L);
    curl_easy_cleanup(handle);
  }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct SlistCleanup {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
// A list of raw FTP commands (CURLOPT_QUOTE, CURLOPT_POSTQUOTE). A handle that is given one must not
// outlive it.
using CommandList = std::unique_ptr<curl_slist, SlistCleanup>;

inline CommandList MakeCommandList(std::initializer_list<const char*> commands) {
  CommandList list;
  for (const char* command : commands) {
    // Appends in place and gives the head back; on failure the list stays as it was.
    curl_slist* head = curl_slist_append(list.get(), command);
    if (!head) throw std::bad_alloc();
    if (!list) list.reset(head);
  }
  return list;
}

template <typename>
inline constexpr bool kNoOptionValue = false;

// curl_easy_setopt with the value's type checked against the option at compile time: libcurl reads the
// value as the type its option number says (a long, a pointer, a function pointer, a curl_off_t), and
// a value of another type (an int literal for a long, say) would be read wrongly without a word.
template <CURLoption Option, typename T>
CURLcode SetOption(CURL* handle, T value) {
  constexpr long kind = static_cast<long>(Option) / 10000 * 10000;
  if constexpr (std::is_same_v<T, long> || std::is_same_v<T, curl_off_t>) {
    static_assert(kind == CURLOPTTYPE_LONG || kind == CURLOPTTYPE_OFF_T, "this option takes no number");
    static_assert(kind != CURLOPTTYPE_OFF_T || std::is_same_v<T, curl_off_t>, "this option takes a curl_off_t");
  } else if constexpr (std::is_pointer_v<T> && std::is_function_v<std::remove_pointer_t<T>>) {
    static_assert(kind == CURLOPTTYPE_FUNCTIONPOINT, "this option takes no function");
  } else if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>) {
    static_assert(kind == CURLOPTTYPE_OBJECTPOINT, "this option takes no pointer");
  } else {
    static_assert(kNoOptionValue<T>, "libcurl takes a long, a curl_off_t or a pointer");
  }
  return curl_easy_setopt(handle, Option, value);
}

}  // namespace kestrun::platform::curl
