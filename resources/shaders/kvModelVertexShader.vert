#version 120

uniform mat4 pPVMMatrix;
uniform mat4 pVMMatrix;
attribute vec4 pVertex;
attribute vec3 pNormal;

// Eye-space position and the untransformed facet normal.
varying vec3 vPosition;
varying vec3 vNormal;

void main()
{
    vPosition = (pVMMatrix * pVertex).xyz;
    vNormal = pNormal;
    gl_Position = pPVMMatrix * pVertex;
}
