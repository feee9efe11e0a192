#pragma once
// The few 4x4 matrix operations the drawing code needs, laid out and composed
// as Direct3D 9 expects (row-major, row vectors: v' = v x M), so the plug-in
// does not depend on the D3DX utility library being installed.
//
// Windows-free: usable from the native build too.

namespace ostrel {

struct Matrix4 {
  float m[4][4];  // same 16 floats as a D3DMATRIX
};

struct Vector4 {
  float x, y, z, w;
};

Matrix4 identityMatrix();
Matrix4 translationMatrix(float x, float y, float z);
// Rotation about the z axis by `radians`, clockwise on a y-down screen.
Matrix4 rotationZMatrix(float radians);
// a x b: a's transformation first, then b's.
Matrix4 multiply(const Matrix4& a, const Matrix4& b);
Vector4 transform(const Vector4& v, const Matrix4& m);

}  // namespace ostrel
