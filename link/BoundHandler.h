#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace meterdesk::link {

// A handler as the HID components keep them: callable, and comparable,
// because a component leaves alone what already has the handler it is given.
// Handlers made with Of() are the same when they call the same member
// function of the same object; any other handler equals only its copies.
template <typename Signature> class BoundHandler;

template <typename R, typename... Args> class BoundHandler<R(Args...)> {
public:
    BoundHandler() = default;
    BoundHandler(std::nullptr_t) {}

    template <typename F>
    requires(!std::is_same_v<std::decay_t<F>, BoundHandler> &&
             std::is_invocable_r_v<R, F&, Args...>) BoundHandler(F function)
        : function_(std::make_shared<const std::function<R(Args...)>>(std::move(function))) {}

    // The handler that calls `Method` on `object`.
    template <auto Method, typename Object> static BoundHandler Of(Object* object) {
        BoundHandler handler(
            [object](Args... args) -> R { return (object->*Method)(std::forward<Args>(args)...); });
        handler.object_ = object;
        handler.operation_ = &kOperation<Method>;
        return handler;
    }

    explicit operator bool() const { return function_ != nullptr; }

    R operator()(Args... args) const {
        // The copy keeps the callable alive when the call replaces this handler.
        const auto keep = function_;
        return (*keep)(std::forward<Args>(args)...);
    }

    bool operator==(const BoundHandler& other) const {
        if (operation_ != nullptr || other.operation_ != nullptr) {
            return object_ == other.object_ && operation_ == other.operation_;
        }
        return function_ == other.function_;
    }

private:
    // One distinct address per member function: the operation's identity.
    template <auto Method> static constexpr char kOperation = 0;

    std::shared_ptr<const std::function<R(Args...)>> function_;
    const void* object_ = nullptr;
    const void* operation_ = nullptr;
};

} // namespace meterdesk::link
