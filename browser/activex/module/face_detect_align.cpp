#include "pellacor/pellacor.h"

FaceDetectAlign& FaceDetectAlign::operator=(const FaceDetectAlign& other) {
  field0 = other.field0;
  field1 = other.field1;
  field2 = other.field2;
  field3 = other.field3;
  return *this;
}
