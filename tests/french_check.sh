#!/usr/bin/env bash
# The window's sources are written in English: French lives only in the
# translation (app/translations/gridwright_fr.ts). Any accented letter or
# French interface word left in a C++ source of the product is reported.
set -u
root=$1
words='Fermer|Annuler|gabarit|Couleur|Toutes|Taille|Autre|Traits|Fond|Remplies|Montrés|Lissés|Dessous|Modèle|Fichier|Dessin|Réinitialiser|Recouvrements|recouvrements|telles|stylé|propos|nommée|après|Hola ombre'
found=$(grep -rnE "[àâçéèêëîïôûùüÿœÀÂÇÉÈÊÎÔÛ]|\b($words)\b" --include='*.cpp' --include='*.h' \
    "$root/app" "$root/res" "$root/platform" "$root/cli" |
    grep -v 'Français')  # a language's own name, shown as it is in every language
if [ -n "$found" ]; then
    echo "FAIL: French in the sources (it belongs in the .ts file):"
    echo "$found"
    echo "0 passed, 1 failed"
    exit 1
fi
echo "1 passed, 0 failed"
