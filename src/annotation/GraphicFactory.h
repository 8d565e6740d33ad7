#pragma once

#include <memory>

class BaseGraphic;

/// Makes annotation items by type, for the canvas file and for cloning.
class GraphicFactory
{
public:
    /// A new empty item of a type the canvas file holds (line 6, shape 65537, freehand 65538,
    /// highlighter 65541); null for any other type or when memory runs out.
    static std::unique_ptr<BaseGraphic> createSaveable(int type);

    /// A copy of `source` made by its class's copy constructor; null for an unknown class or
    /// when memory runs out.
    static std::unique_ptr<BaseGraphic> clone(const BaseGraphic &source);
};
