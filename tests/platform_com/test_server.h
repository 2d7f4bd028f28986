#pragma once

#include "platform/com/com.h"

namespace nbtest {
// {6B1C7A40-0D3E-4F7B-9A52-1E2D3C4B5A69}: the class the test server answers.
constexpr CLSID kServerClsid = {
    0x6B1C7A40, 0x0D3E, 0x4F7B, {0x9A, 0x52, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69}};
// {6B1C7A41-0D3E-4F7B-9A52-1E2D3C4B5A69}: registered to the server, which does not know it.
constexpr CLSID kForeignClsid = {
    0x6B1C7A41, 0x0D3E, 0x4F7B, {0x9A, 0x52, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69}};
}  // namespace nbtest
