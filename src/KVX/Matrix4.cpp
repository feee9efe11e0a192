#include "KVX/Matrix4.h"

#include <cmath>

namespace ostrel {

Matrix4 identityMatrix() {
  return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

Matrix4 translationMatrix(float x, float y, float z) {
  Matrix4 r = identityMatrix();
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Matrix4 rotationZMatrix(float radians) {
  const float c = std::cos(radians), s = std::sin(radians);
  Matrix4 r = identityMatrix();
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
  Matrix4 r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

Vector4 transform(const Vector4& v, const Matrix4& m) {
  const float in[4] = {v.x, v.y, v.z, v.w};
  float out[4];
  for (int j = 0; j < 4; ++j)
    out[j] = in[0] * m.m[0][j] + in[1] * m.m[1][j] + in[2] * m.m[2][j] + in[3] * m.m[3][j];
  return {out[0], out[1], out[2], out[3]};
}

}  // namespace ostrel
