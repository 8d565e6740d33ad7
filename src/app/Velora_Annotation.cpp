// Drawing over the pictures: a canvas over the camera view and one over the full-display image
// view, the annotation panel in the tool strip, and the canvas following the camera's zoom,
// rotation and mirror so that drawings stay where they were put on the paper.

#include "ToolsPanel.h"
#include "Velora.h"
#include "ui_Velora.h"

#include <AnnoPanel.h>
#include <AnnotationIntf.h>
#include <CameraWidget.h>
#include <CanvasView.h>
#include <ImageWidget.h>
#include <KivoscopeIntf.h>

#include <QGuiApplication>
#include <QScreen>

void Velora::wireAnnotation()
{
    annotation = AnnotationIntf::getInstance();
    // The views change size with every layout; canvases as large as the screen keep drawings
    // in place (centred) whatever size the view has at the moment.
    QSize area;
    for (const QScreen *screen : QGuiApplication::screens())
        area = area.expandedTo(screen->geometry().size());
    imageCanvas = annotation->createCanvas(imageView, area);
    docCamCanvas = annotation->createCanvas(kivoscope->view(), area);
    if (docCamCanvas)
        docCamCanvas->setVisible(kivoscope->isConnected());
    annotation->setActiveCanvas(docCamCanvas);

    toolsPanel->setSubPanel(ToolsPanel::Annotation, new AnnoPanel);
    toolsPanel->setClearAllAvailable(true);
    connect(toolsPanel, &ToolsPanel::clearAllRequested, this, [this] { annotation->clear(false); });

    // Drawing on the camera picture makes sense only while there is one.
    connect(this, &Velora::docCamAnnotationEnable, this, [this](bool on) {
        if (docCamCanvas)
            docCamCanvas->setVisible(on);
    });
    connect(kivoscope, &KivoscopeIntf::zoomRatioChanged, this, &Velora::visionZoomRatioChanged);
    connect(kivoscope, &KivoscopeIntf::rotationChanged, this, &Velora::visionRotationChanged);
    connect(kivoscope, &KivoscopeIntf::mirrorChanged, this, &Velora::visionMirrorChanged);
}

void Velora::activateCanvasForMode()
{
    if (!annotation)
        return;
    // The full-display picture has its own drawings; every other mode draws on the camera.
    annotation->setActiveCanvas(splitMode == 7 ? imageCanvas : docCamCanvas);
}

void Velora::visionZoomRatioChanged(double ratio)
{
    if (ratio > 0)
        visionZoom = ratio;
    applyCameraTransformToCanvas();
}

void Velora::visionRotationChanged(uint degree)
{
    visionRotation = degree % 360;
    applyCameraTransformToCanvas();
}

void Velora::visionMirrorChanged(bool mirror)
{
    visionMirrored = mirror;
    applyCameraTransformToCanvas();
}

void Velora::applyCameraTransformToCanvas()
{
    if (annotation && docCamCanvas)
        annotation->setViewTransform(docCamCanvas, visionRotation, visionZoom, visionMirrored);
}
