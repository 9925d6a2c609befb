#include "frame_analysis/pose_record.h"

namespace frame_analysis {

using Body = platform::vision::BodyJoint;
using Hand = platform::vision::HandJoint;

const JointTable<Body> bodyJoints = {
    {"nose", Body::nose},
    {"neck", Body::neck},
    {"leftShoulder", Body::leftShoulder},
    {"rightShoulder", Body::rightShoulder},
    {"leftElbow", Body::leftElbow},
    {"rightElbow", Body::rightElbow},
    {"leftWrist", Body::leftWrist},
    {"rightWrist", Body::rightWrist},
    {"leftHip", Body::leftHip},
    {"rightHip", Body::rightHip},
};

const JointTable<Hand> handJoints = {
    {"wrist", Hand::wrist},         {"thumbTip", Hand::thumbTip}, {"indexTip", Hand::indexTip},
    {"middleTip", Hand::middleTip}, {"ringTip", Hand::ringTip},   {"littleTip", Hand::littleTip},
};

}  // namespace frame_analysis
