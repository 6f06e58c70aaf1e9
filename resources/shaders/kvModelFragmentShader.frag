#version 120

uniform mat3 pNormalMatrix;
uniform mat4 pMVMatrix;
uniform vec3 pLightDir;
uniform vec4 pColor;
uniform vec4 pAmbient;
uniform vec4 pDiffuse;
uniform vec4 pSpecular;
uniform float pShininess;

varying vec3 vPosition;
varying vec3 vNormal;

void main()
{
    vec3 tNormal = normalize(pNormalMatrix * vNormal);
    // The light is a point at pLightDir in eye space.
    vec3 tLight = normalize(pLightDir - vPosition);
    vec3 tEye = normalize(-vPosition);
    vec3 tReflect = normalize(-reflect(tLight, tNormal));

    vec4 tAmbient = pAmbient;
    vec4 tDiffuse = clamp(pDiffuse * max(dot(tNormal, tLight), 0.0), 0.0, 1.0);
    vec4 tSpecular = clamp(pSpecular * pow(max(dot(tReflect, tEye), 0.0), 0.3 * pShininess), 0.0, 1.0);

    // The light shades the part's own colour and a highlight only tints it, so even the
    // brightest face keeps the colour instead of washing out to white.
    vec3 tLit = clamp(tAmbient.rgb + tDiffuse.rgb, 0.0, 1.0);
    vec3 tColor = pColor.rgb * (0.35 + 0.65 * tLit) + 0.25 * tSpecular.rgb;
    gl_FragColor = vec4(clamp(tColor, 0.0, 1.0), pColor.a);
}
