#version 120

uniform mat4 pPVMMatrix;
uniform vec4 pColor;
attribute vec4 pVertex;

varying vec4 vColor;

void main()
{
    vColor = pColor;
    gl_FrontColor = pColor;
    gl_Position = pPVMMatrix * pVertex;
}
