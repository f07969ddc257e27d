// The little vector algebra the analytic scene, its camera and the ray
// tracer need; left-handed like Direct3D (x right, y up, z away).
#pragma once

#include <cmath>

struct Vec3 {
    double X = 0, Y = 0, Z = 0;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
inline Vec3 operator*(const Vec3& a, double s) { return {a.X * s, a.Y * s, a.Z * s}; }
inline double Dot(const Vec3& a, const Vec3& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
inline double Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalise(const Vec3& a) {
    const double ls_Length = Length(a);
    return ls_Length > 0 ? a * (1.0 / ls_Length) : a;
}

struct Ray {
    Vec3 Origin;
    Vec3 Direction;  // unit length
};
