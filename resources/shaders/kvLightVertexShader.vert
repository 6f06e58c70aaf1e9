#version 120

uniform mat4 pPVMMatrix;
attribute vec4 pPosition;
attribute vec4 pColor;

varying vec4 vColor;

void main()
{
    vColor = pColor;
    gl_Position = pPVMMatrix * pPosition;
}
