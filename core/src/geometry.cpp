#include "core/geometry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace core {

double CGPoint::distance(const CGPoint& other) const noexcept {
    const double dx = x - other.x;
    const double dy = y - other.y;
    return std::sqrt(dx * dx + dy * dy);
}

CGSize CGSize::ceiled() const noexcept {
    return {std::ceil(width), std::ceil(height)};
}

CGRect CGSize::rect() const noexcept {
    return {{0, 0}, *this};
}

CGRect CGSize::rect(const CGPoint& origin) const noexcept {
    return {origin, *this};
}

CGRect CGSize::rectAtXMiddleOf(double x, const CGRect& other) const noexcept {
    return {{x, other.midY() - 0.5 * height}, *this};
}

CGRect CGSize::rectAtYCenterOf(double y, const CGRect& other) const noexcept {
    return {{other.midX() - 0.5 * width, y}, *this};
}

CGRect CGRect::centeredAt(const CGPoint& center, const CGSize& size) noexcept {
    return make(center.x - size.width * 0.5, center.y - 0.5 * size.height, size.width, size.height);
}

CGRect CGRect::spanning(const CGPoint& point1, const CGPoint& point2) noexcept {
    return make(std::min(point1.x, point2.x), std::min(point1.y, point2.y),
                std::fabs(point1.x - point2.x), std::fabs(point1.y - point2.y));
}

CGRect CGRect::null() noexcept {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    return make(kInf, kInf, 0, 0);
}

bool CGRect::isNull() const noexcept {
    return std::isinf(origin.x) && origin.x > 0 && std::isinf(origin.y) && origin.y > 0;
}

double CGRect::minX() const noexcept {
    return size.width < 0 ? origin.x + size.width : origin.x;
}

double CGRect::maxX() const noexcept {
    return size.width < 0 ? origin.x : origin.x + size.width;
}

double CGRect::midX() const noexcept {
    return minX() + width() * 0.5;
}

double CGRect::minY() const noexcept {
    return size.height < 0 ? origin.y + size.height : origin.y;
}

double CGRect::maxY() const noexcept {
    return size.height < 0 ? origin.y : origin.y + size.height;
}

double CGRect::midY() const noexcept {
    return minY() + height() * 0.5;
}

double CGRect::width() const noexcept {
    return std::fabs(size.width);
}

double CGRect::height() const noexcept {
    return std::fabs(size.height);
}

CGPoint CGRect::center() const noexcept {
    return {origin.x + size.width * 0.5, origin.y + size.height * 0.5};
}

void CGRect::setCenter(const CGPoint& center) noexcept {
    origin = {center.x - size.width * 0.5, center.y - size.height * 0.5};
}

CGRect CGRect::centerResized(const CGSize& newSize) const noexcept {
    return centerResized(newSize.width, newSize.height);
}

CGRect CGRect::centerResized(double newWidth, double newHeight) const noexcept {
    return make(origin.x + size.width * 0.5 - newWidth * 0.5,
                origin.y + size.height * 0.5 - newHeight * 0.5, newWidth, newHeight);
}

CGRect CGRect::centerResizedWithWidth(double newWidth) const noexcept {
    return centerResized(newWidth, height());
}

CGRect CGRect::centerResizedWithHeight(double newHeight) const noexcept {
    return centerResized(width(), newHeight);
}

CGRect CGRect::inseted(double leading, double top, double trailing, double bottom) const noexcept {
    return make(origin.x + leading, origin.y + top, size.width - leading - trailing,
                size.height - top - bottom);
}

CGRect CGRect::moved(double moveX, double moveY) const noexcept {
    return make(origin.x + moveX, origin.y + moveY, size.width, size.height);
}

CGRect CGRect::fromLeftWithWidth(double newWidth) const noexcept {
    return make(origin.x, origin.y, newWidth, size.height);
}

CGRect CGRect::fromTopWithHeight(double newHeight) const noexcept {
    return make(origin.x, origin.y, size.width, newHeight);
}

CGRect CGRect::fromRightWithWidth(double newWidth) const noexcept {
    return make(origin.x + size.width - newWidth, origin.y, newWidth, size.height);
}

CGRect CGRect::fromBottomWithHeight(double newHeight) const noexcept {
    return make(origin.x, maxY() - newHeight, size.width, newHeight);
}

CGRect CGRect::withMaxX(double newMaxX) const noexcept {
    return make(newMaxX - size.width, origin.y, size.width, size.height);
}

CGRect CGRect::withNewOriginX(double newX) const noexcept {
    return make(newX, origin.y, size.width, height());
}

CGRect CGRect::withNewOriginY(double newY) const noexcept {
    return make(origin.x, newY, size.width, height());
}

CGRect CGRect::sizeScaled(double factor) const noexcept {
    return make(origin.x, origin.y, size.width * factor, size.height * factor);
}

CGRect CGRect::scaled(double factor) const noexcept {
    return make(origin.x * factor, origin.y * factor, size.width * factor, size.height * factor);
}

CGRect CGRect::ceiled() const noexcept {
    return make(std::ceil(origin.x), std::ceil(origin.y), std::ceil(size.width),
                std::ceil(size.height));
}

CGRect CGRect::originCeiled() const noexcept {
    return make(std::ceil(origin.x), std::ceil(origin.y), size.width, size.height);
}

void CGRect::intersect(const CGRect& other) noexcept {
    if (isNull() || other.isNull()) {
        *this = null();
        return;
    }
    const double left = std::max(minX(), other.minX());
    const double right = std::min(maxX(), other.maxX());
    const double top = std::max(minY(), other.minY());
    const double bottom = std::min(maxY(), other.maxY());
    // NaN components fail both comparisons and give the null rectangle too.
    if (!(left <= right && top <= bottom)) {
        *this = null();
        return;
    }
    *this = make(left, top, right - left, bottom - top);
}

double CGLine::minX() const noexcept {
    return std::min(point1.x, point2.x);
}

double CGLine::maxX() const noexcept {
    return std::max(point1.x, point2.x);
}

double CGLine::minY() const noexcept {
    return std::min(point1.y, point2.y);
}

double CGLine::maxY() const noexcept {
    return std::max(point1.y, point2.y);
}

std::optional<double> CGLine::y(double atX) const noexcept {
    if (point1.x == point2.x) {
        return std::nullopt;
    }
    return (point2.y - point1.y) * (atX - point1.x) / (point2.x - point1.x) + point1.y;
}

std::optional<double> CGLine::x(double atY) const noexcept {
    if (point1.y == point2.y) {
        return std::nullopt;
    }
    return (point2.x - point1.x) * (atY - point1.y) / (point2.y - point1.y) + point1.x;
}

bool CGLine::intersects(const CGLine& other) const noexcept {
    const CGPoint& a = other.point1;
    const CGPoint& b = other.point2;
    const CGPoint& c = point1;
    const CGPoint& d = point2;
    const double denominator = (b.y - a.y) * (d.x - c.x) - (b.x - a.x) * (d.y - c.y);
    if (denominator == 0) {
        return false;
    }
    const double u = ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / denominator;
    // Written as inclusive ranges so that a NaN coordinate never counts as a meeting.
    if (!(u >= 0 && u <= 1)) {
        return false;
    }
    const double t = ((c.y - a.y) * (d.x - c.x) - (c.x - a.x) * (d.y - c.y)) / denominator;
    return t >= 0 && t <= 1;
}

} // namespace core
