// A small test host shared by the service tests.
#pragma once

#include <string>

#include "wbem/api.h"

namespace testhost {

inline const char* kMof = R"MOF(
[abstract]
class Shape
{
    [key] string Id;
    string Label;
};

class Circle : Shape
{
    real64 Radius;
    uint32 Draw([in] uint32 Scale, [in, out] string Note, [out] string Result);
    uint32 Clear();
};

class Square : Shape
{
    uint16 Side;
    uint32 Paint([out] uint32 Color);
};

class AllTypes
{
    [key] uint32 Id;
    sint8 S8;   uint8 U8;   sint16 S16;  uint16 U16;
    sint32 S32; uint32 U32; sint64 S64;  uint64 U64;
    real32 R32; real64 R64; boolean B;   string Str;
    datetime Dt; char16 C16; Shape REF Ref; object Obj;
    uint32 Arr[];
    string Empty;
};

instance of Circle { Id = "c1"; Label = "first"; Radius = 1.5; };
instance of Circle { Id = "c2"; Label = "second"; Radius = 2; };
instance of Square { Id = "s1"; Label = "third"; Side = 3; };
instance of AllTypes
{
    Id = 1; S8 = -8; U8 = 200; S16 = -16; U16 = 65535;
    S32 = -32; U32 = 4000000000; S64 = -64; U64 = 18446744073709551615;
    R32 = 0.5; R64 = 2.25; B = TRUE; Str = "text";
    Dt = "20240102030405.000000+060"; C16 = 'A'; Ref = "Circle.Id=\"c1\"";
    Obj = instance of Square { Id = "inner"; Side = 9; };
    Arr = {1, 2, 3, 4};
};
)MOF";

}  // namespace testhost
