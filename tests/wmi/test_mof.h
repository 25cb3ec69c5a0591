// The schema of the WMI layer's test hosts.
#pragma once

namespace wmitest {

inline constexpr const char* kShopMof = R"MOF(
class Item
{
    [key] uint32 Id;
    string Name;
};

class Gadget : Item
{
    string Color;
    uint32 Weight;
};

class Gizmo : Item
{
    string COLOR;
    uint32 Size;
};

class Tool
{
    [key] string Id;
    uint32 Cut([in] uint32 Length, [in] string Material, [out] string Report);
    uint32 Reset();
};

class Values
{
    [key] uint32 Id;
    string Text;
    uint32 Arr[];
    real64 R;
    boolean B;
    datetime Dt;
    string Nothing;
};

class Lonely
{
    [key] uint32 Id;
};

instance of Item { Id = 1; Name = "plain"; };
instance of Gadget { Id = 2; Name = "Žluťoučký kůň"; Color = "red"; Weight = 7; };
instance of Gizmo { Id = 3; Name = "gizmo"; COLOR = "blue"; Size = 9; };

instance of Values
{
    Id = 1; Text = "Žluťoučký kůň"; Arr = {1, 2, 3}; R = 0.5; B = TRUE;
    Dt = "20240131123456.000000+060";
};
instance of Values { Id = 2; Text = "  padded  "; };
)MOF";

}  // namespace wmitest
