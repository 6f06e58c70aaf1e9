#version 120

uniform vec4 pColor;

void main()
{
    gl_FragColor = pColor;
}
