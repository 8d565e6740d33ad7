#include "ShapePanel.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <tuple>

namespace {

// The kinds of ShapeGraphic that have a button; the button's id is the kind.
enum ShapeKind { Rectangle = 0, Ellipse = 1, Triangle = 2, RightTriangle = 3 };

} // namespace

ShapePanel::ShapePanel(QWidget *parent)
    : PenSettingsPanel(AnnotationIntf::ShapePen, parent)
{
    setObjectName(QStringLiteral("ShapePanel"));

    shapes = new QButtonGroup(this);
    shapes->setExclusive(true);
    auto *row = new QHBoxLayout;
    row->setSpacing(2);
    // The object names are the form's long-standing ones, which scripts and style sheets find
    // the buttons by; they predate the pictures, so the id and the tool tip say what is drawn.
    const std::tuple<const char *, ShapeKind, QString, const char *> buttons[] = {
            {"circleBtn", Rectangle, tr("Rectangle"), "shape_rectangle.png"},
            {"ellipseBtn", Ellipse, tr("Ellipse"), "shape_ellipse.png"},
            {"squareBtn", Triangle, tr("Triangle"), "shape_triangle.png"},
            {"triangleBtn", RightTriangle, tr("Right triangle"), "shape_right_triangle.png"},
    };
    for (const auto &[objectName, kind, text, icon] : buttons) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(objectName));
        button->setToolTip(text);
        button->setIcon(QIcon(QStringLiteral(":/Image/pics/") + QLatin1String(icon)));
        button->setIconSize(QSize(24, 24));
        button->setCheckable(true);
        button->setAutoRaise(true);
        shapes->addButton(button, kind);
        row->addWidget(button);
    }
    row->addStretch(1);

    // A kind without a button of its own still checks one, so the group never shows no shape.
    const int current
            = AnnotationIntf::current() ? AnnotationIntf::current()->shapeKind() : Rectangle;
    QAbstractButton *shown = shapes->button(current);
    (shown ? shown : shapes->button(RightTriangle))->setChecked(true);

    QGridLayout *grid = settingsGrid();
    const int line = grid->rowCount();
    grid->addWidget(new QLabel(tr("Shape:"), this), line, 0);
    grid->addLayout(row, line, 1, 1, 2);

    connect(shapes, &QButtonGroup::idClicked, this, &ShapePanel::shapeButtonClicked);
}

void ShapePanel::shapeButtonClicked(int kind)
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setShapeKind(kind);
}
