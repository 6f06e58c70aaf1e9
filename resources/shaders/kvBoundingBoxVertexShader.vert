#version 120

attribute vec4 pPosition;
uniform vec4 pColor;
uniform mat4 pMatrix;

varying vec4 vColor;

void main()
{
    vColor = pColor;
    gl_Position = pMatrix * pPosition;
}
