#pragma once
// A replaceable service behind a pair of accessors, such as platform::GetRegistry and
// platform::SetRegistry. Every such pair behaves the same:
//  - Get answers with the installed service, or with the default when none is installed;
//  - Set(p) installs p (null puts the default back) and returns the one it replaced: null when
//    the default was in place, so that passing the result back restores exactly what was there.
// Code that installs a service for a while uses Installed, which puts the previous one back.
#include <utility>

namespace base {

template <class T>
class Service {
 public:
  // The default is made by a function (typically returning a function-local static), so that it
  // exists whenever it is first asked for, even from another static initialiser.
  using Default = T& (*)();

  constexpr explicit Service(Default makeDefault) : m_default(makeDefault) {}
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  T& Get() const { return m_installed != nullptr ? *m_installed : m_default(); }
  T* Set(T* service) { return std::exchange(m_installed, service); }

 private:
  Default m_default;
  T* m_installed = nullptr;
};

namespace detail {
template <class Setter>
struct ServiceOf;
template <class T>
struct ServiceOf<T* (*)(T*)> {
  using Type = T;
};
}  // namespace detail

// Installs a service through its Set function for the life of this object, then puts back the
// one it replaced:
//   base::Installed<platform::SetRegistry> registry(store);
template <auto Set>
class [[nodiscard]] Installed {
 public:
  using Type = typename detail::ServiceOf<decltype(Set)>::Type;

  explicit Installed(Type& service) : m_previous(Set(&service)) {}
  ~Installed() { Set(m_previous); }
  Installed(const Installed&) = delete;
  Installed& operator=(const Installed&) = delete;

 private:
  Type* m_previous;
};

}  // namespace base
