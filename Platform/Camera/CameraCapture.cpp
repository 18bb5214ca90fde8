#include "Platform/Camera/CameraCapture.h"

CameraCapture::~CameraCapture() = default;
