<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Art</name>
    <message>
        <source>MESHES</source>
        <translation>MAILLAGES</translation>
    </message>
    <message>
        <source>SKIN</source>
        <translation>SKIN</translation>
    </message>
    <message>
        <source>LAYOUT</source>
        <translation>DISPOSITION</translation>
    </message>
    <message>
        <source>MD3 SKIN TEMPLATES</source>
        <translation>GABARITS DE SKINS MD3</translation>
    </message>
    <message>
        <source>Flatten</source>
        <translation>Aplatir</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Ouvrir</translation>
    </message>
    <message>
        <source>X SCALE</source>
        <translation>ÉCHELLE X</translation>
    </message>
    <message>
        <source>Y SCALE</source>
        <translation>ÉCHELLE Y</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>COPY</source>
        <translation>COPIER</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ANNULER</translation>
    </message>
    <message>
        <source>Flattens the texture layout of an MD3 model&apos;s surfaces into painting templates: EPS files, bitmaps and the clipboard.</source>
        <translation>Aplatit la disposition des textures des surfaces d&apos;un modèle MD3 en gabarits à peindre : fichiers EPS, images et presse-papiers.</translation>
    </message>
    <message>
        <source>For skin painters and modders.</source>
        <translation>Pour les peintres de skins et les moddeurs.</translation>
    </message>
</context>
<context>
    <name>ExportDialog</name>
    <message>
        <source>An EPS template holds only the lines, in one colour: it cannot show %1. Save it as SVG, PDF or a picture, or turn that off in the template options.</source>
        <translation>Un gabarit EPS ne contient que les traits, d&apos;une seule couleur : il ne peut pas montrer %1. Enregistrez-le en SVG, en PDF ou en image, ou désactivez cela dans les options du gabarit.</translation>
    </message>
    <message>
        <source>A %1 template cannot be transparent. Choose an opaque background in the template options, or save it as PNG.</source>
        <translation>Un gabarit %1 ne peut pas être transparent. Choisissez un fond opaque dans les options du gabarit, ou enregistrez-le en PNG.</translation>
    </message>
    <message>
        <source>Copied</source>
        <translation>Copié</translation>
    </message>
    <message>
        <source>Copied, %1 × %2</source>
        <translation>Copié, %1 × %2</translation>
    </message>
    <message>
        <source>%1 surfaces</source>
        <translation>%1 surfaces</translation>
    </message>
    <message>
        <source>as stored</source>
        <translation>telles quelles</translation>
    </message>
    <message>
        <source>transparent</source>
        <translation>transparent</translation>
    </message>
    <message>
        <source>seams</source>
        <translation>coutures</translation>
    </message>
    <message>
        <source>flipped faces</source>
        <translation>faces retournées</translation>
    </message>
    <message>
        <source>island borders</source>
        <translation>bords des îlots</translation>
    </message>
    <message>
        <source>island colours</source>
        <translation>îlots en couleurs</translation>
    </message>
    <message>
        <source>overlaps</source>
        <translation>recouvrements</translation>
    </message>
    <message>
        <source>texture underneath</source>
        <translation>texture dessous</translation>
    </message>
    <message>
        <source>styled</source>
        <translation>stylé</translation>
    </message>
    <message>
        <source>Saved %1, %2 × %3</source>
        <translation>Enregistré %1, %2 × %3</translation>
    </message>
    <message>
        <source>baked layers</source>
        <translation>calques cuits</translation>
    </message>
    <message>
        <source>A %1 template cannot hold baked layers: they go into PSD and ORA templates. Save it as PSD or ORA, or turn the baked layers off in the template options.</source>
        <translation>Un gabarit %1 ne peut pas contenir de calques cuits : ils vont dans les gabarits PSD et ORA. Enregistrez-le en PSD ou en ORA, ou désactivez les calques cuits dans les options du gabarit.</translation>
    </message>
    <message>
        <source>The layers could not be baked: %1.</source>
        <translation>Les calques n’ont pas pu être cuits : %1.</translation>
    </message>
    <message numerus="yes">
        <source>%n surface(s) of other models left unshaded</source>
        <translation>
            <numerusform>%n surface d’un autre modèle laissée sans ombre</numerusform>
            <numerusform>%n surfaces d’autres modèles laissées sans ombre</numerusform>
        </translation>
    </message>
    <message>
        <source>Baking the template&apos;s layers…</source>
        <translation>Cuisson des calques du gabarit…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>Gridwright</name>
    <message>
        <source>Wavefront OBJ models</source>
        <translation>Modèles Wavefront OBJ</translation>
    </message>
    <message>
        <source>glTF 2.0 scenes</source>
        <translation>Scènes glTF 2.0</translation>
    </message>
    <message>
        <source>glTF 2.0 binary scenes</source>
        <translation>Scènes glTF 2.0 binaires</translation>
    </message>
    <message>
        <source>&amp;About Gridwright...</source>
        <translation>À &amp;propos de Gridwright...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Fermer</translation>
    </message>
    <message>
        <source>A required resource was not available.</source>
        <translation>Une ressource requise était non disponible.</translation>
    </message>
    <message>
        <source>EPS file</source>
        <translation>Fichier EPS</translation>
    </message>
    <message>
        <source>SVG drawing</source>
        <translation>Dessin SVG</translation>
    </message>
    <message>
        <source>PDF document</source>
        <translation>Document PDF</translation>
    </message>
    <message>
        <source>PNG image</source>
        <translation>Image PNG</translation>
    </message>
    <message>
        <source>BMP image</source>
        <translation>Fichier BMP</translation>
    </message>
    <message>
        <source>Template &amp;options...</source>
        <translation>&amp;Options du gabarit...</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Langue</translation>
    </message>
    <message>
        <source>Cannot open the model</source>
        <translation>Hola ombre, ca chie !!!</translation>
    </message>
    <message>
        <source>Cannot save the template</source>
        <translation>Hola ombre, ca chie !!!</translation>
    </message>
    <message>
        <source>Gridwright does not write &quot;.%1&quot; files. Give the template one of the extensions %2.</source>
        <translation>Gridwright n&apos;écrit pas de fichiers « .%1 ». Donnez au gabarit l&apos;une des extensions %2.</translation>
    </message>
    <message>
        <source>Game archive (*.pk3)</source>
        <translation>Archive de jeu (*.pk3)</translation>
    </message>
    <message>
        <source>Game archive (*.dpk)</source>
        <translation>Archive de jeu (*.dpk)</translation>
    </message>
    <message>
        <source>Open a &amp;game folder...</source>
        <translation>Ouvrir un dossier de &amp;jeu...</translation>
    </message>
    <message>
        <source>TGA image</source>
        <translation>Image TGA</translation>
    </message>
    <message>
        <source>Photoshop image</source>
        <translation>Image Photoshop</translation>
    </message>
    <message>
        <source>OpenRaster image</source>
        <translation>Image OpenRaster</translation>
    </message>
    <message>
        <source>All models (%1)</source>
        <translation>Tous les modèles (%1)</translation>
    </message>
    <message>
        <source>Quake III models</source>
        <translation>Modèles Quake III</translation>
    </message>
    <message>
        <source>Quake models</source>
        <translation>Modèles Quake</translation>
    </message>
    <message>
        <source>Quake II models</source>
        <translation>Modèles Quake II</translation>
    </message>
    <message>
        <source>Wolfenstein models</source>
        <translation>Modèles Wolfenstein</translation>
    </message>
    <message>
        <source>Doom 3 meshes</source>
        <translation>Maillages Doom 3</translation>
    </message>
    <message>
        <source>Inter-Quake models</source>
        <translation>Modèles Inter-Quake</translation>
    </message>
    <message>
        <source>Cannot save the skin</source>
        <translation>Impossible d&apos;enregistrer la skin</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Worn by…</source>
        <translation>Portée par…</translation>
    </message>
    <message>
        <source>The model: %1.</source>
        <translation>Le modèle : %1.</translation>
    </message>
    <message>
        <source>The layout of %1 has no area: its texture coordinates lie on one point or one line.</source>
        <translation>La disposition de %1 n&apos;a pas d&apos;aire : ses coordonnées de texture sont sur un point ou une ligne.</translation>
    </message>
    <message>
        <source>from %1</source>
        <translation>d&apos;après %1</translation>
    </message>
    <message>
        <source>named by the model</source>
        <translation>nommée par le modèle</translation>
    </message>
    <message>
        <source>%1 (%2 × %3)</source>
        <translation>%1 (%2 × %3)</translation>
    </message>
    <message>
        <source>Some remembered options were not valid and were reset: %1</source>
        <translation>Des options mémorisées n&apos;étaient pas valables et ont été réinitialisées : %1</translation>
    </message>
    <message>
        <source>Copy the texture&apos;s path</source>
        <translation>Copier le chemin de la texture</translation>
    </message>
    <message>
        <source>Skin</source>
        <translation>Skin</translation>
    </message>
    <message>
        <source>This model has no surfaces: it holds only tags or frames, so there is no layout to draw.</source>
        <translation>Ce modèle n&apos;a pas de surface : il ne contient que des attaches ou des images, il n&apos;y a donc pas de disposition à dessiner.</translation>
    </message>
    <message>
        <source>Some of the game&apos;s files cannot be used: %1</source>
        <translation>Certains fichiers du jeu sont inutilisables : %1</translation>
    </message>
    <message>
        <source>through the shader script %1</source>
        <translation>par le script de shader %1</translation>
    </message>
    <message>
        <source>&amp;Workspace	W</source>
        <translation>&amp;Atelier	W</translation>
    </message>
    <message>
        <source>Save the model&apos;s skin as a picture...</source>
        <translation>Enregistrer la skin du modèle comme image...</translation>
    </message>
    <message>
        <source>The model&apos;s skins are painted without the game&apos;s palette: %1.</source>
        <translation>Les skins du modèle sont peintes sans la palette du jeu : %1.</translation>
    </message>
    <message>
        <source>Skin %1 saved as %2.</source>
        <translation>Skin %1 enregistrée sous %2.</translation>
    </message>
    <message>
        <source>Save the player&apos;s sheet...</source>
        <translation>Enregistrer la planche du joueur...</translation>
    </message>
    <message>
        <source>The model wears no texture to put on a sheet.</source>
        <translation>Le modèle ne porte aucune texture à mettre sur une planche.</translation>
    </message>
    <message>
        <source>Cannot save the sheet</source>
        <translation>Impossible d&apos;enregistrer la planche</translation>
    </message>
    <message>
        <source>The sheet of %1 textures saved as %2.</source>
        <translation>La planche de %1 textures enregistrée sous %2.</translation>
    </message>
    <message>
        <source>Pack the skin...</source>
        <translation>Empaqueter la skin...</translation>
    </message>
    <message>
        <source>Game archive (*.pk3)</source>
        <translation>Archive de jeu (*.pk3)</translation>
    </message>
    <message>
        <source>Cannot pack the skin</source>
        <translation>Impossible d&apos;empaqueter la skin</translation>
    </message>
    <message>
        <source>The pak %1 would be inside the game folder %2, where the game would read it. Write it elsewhere and copy it in to play.</source>
        <translation>Le pak %1 serait dans le dossier du jeu %2, où le jeu le lirait. Écrivez-le ailleurs et copiez-le dans le jeu pour jouer.</translation>
    </message>
    <message>
        <source>Nothing written: the skin &quot;%1&quot; has %2 problems.</source>
        <translation>Rien n&apos;a été écrit : la skin « %1 » a %2 problèmes.</translation>
    </message>
    <message>
        <source>Nothing written: the game&apos;s paks already ship every file the skin &quot;%1&quot; needs.</source>
        <translation>Rien n&apos;a été écrit : les paks du jeu contiennent déjà tous les fichiers dont la skin « %1 » a besoin.</translation>
    </message>
    <message>
        <source>%1 is %2 and not packed: the command line&apos;s --full packs the model too.</source>
        <translation>%1 est %2 et n&apos;est pas empaqueté : l&apos;option --full de la ligne de commande empaquette aussi le modèle.</translation>
    </message>
    <message>
        <source>The skin &quot;%1&quot; packed into %2: %3 files.</source>
        <translation>La skin « %1 » est empaquetée dans %2 : %3 fichiers.</translation>
    </message>
    <message>
        <source>%1 written: %2 files.</source>
        <translation>%1 écrit : %2 fichiers.</translation>
    </message>
</context>
<context>
    <name>ModelBrowser</name>
    <message>
        <source>Models</source>
        <translation>Modèles</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtrer</translation>
    </message>
</context>
<context>
    <name>OptionsDialog</name>
    <message>
        <source>Texture coordinates</source>
        <translation>Coordonnées de texture</translation>
    </message>
    <message>
        <source>Set </source>
        <translation>Jeu </translation>
    </message>
    <message>
        <source>Seams</source>
        <translation>Coutures</translation>
    </message>
    <message>
        <source>Flipped faces</source>
        <translation>Faces retournées</translation>
    </message>
    <message>
        <source>Islands</source>
        <translation>Îlots</translation>
    </message>
    <message>
        <source>Only their borders</source>
        <translation>Seulement leurs bords</translation>
    </message>
    <message>
        <source>Each in its own colour</source>
        <translation>Chacun de sa couleur</translation>
    </message>
    <message>
        <source>Template options</source>
        <translation>Options du gabarit</translation>
    </message>
    <message>
        <source>TEMPLATE OPTIONS</source>
        <translation>OPTIONS DU GABARIT</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>The texture&apos;s size</source>
        <translation>Celle de la texture</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Autre</translation>
    </message>
    <message>
        <source>Coordinates</source>
        <translation>Coordonnées</translation>
    </message>
    <message>
        <source>Repeated, as in the game</source>
        <translation>Répétées, comme dans le jeu</translation>
    </message>
    <message>
        <source>As stored</source>
        <translation>Telles quelles</translation>
    </message>
    <message>
        <source>Surfaces</source>
        <translation>Surfaces</translation>
    </message>
    <message>
        <source>The chosen surface</source>
        <translation>La surface choisie</translation>
    </message>
    <message>
        <source>All of its texture, in this model</source>
        <translation>Toutes celles de sa texture, dans ce modèle</translation>
    </message>
    <message>
        <source>All of its texture, in this player</source>
        <translation>Toutes celles de sa texture, dans ce joueur</translation>
    </message>
    <message>
        <source>All of its texture, in the game</source>
        <translation>Toutes celles de sa texture, dans le jeu</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Toutes</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Traits</translation>
    </message>
    <message>
        <source> px</source>
        <translation> px</translation>
    </message>
    <message>
        <source>Smoothed</source>
        <translation>Lissés</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>Fond</translation>
    </message>
    <message>
        <source>Transparent</source>
        <translation>Transparent</translation>
    </message>
    <message>
        <source>Faces</source>
        <translation>Faces</translation>
    </message>
    <message>
        <source>Filled</source>
        <translation>Remplies</translation>
    </message>
    <message>
        <source>Overlaps</source>
        <translation>Recouvrements</translation>
    </message>
    <message>
        <source>Shown</source>
        <translation>Montrés</translation>
    </message>
    <message>
        <source>One colour per surface</source>
        <translation>Une couleur par surface</translation>
    </message>
    <message>
        <source>Texture</source>
        <translation>Texture</translation>
    </message>
    <message>
        <source>Underneath (images and PDF)</source>
        <translation>Dessous (images et PDF)</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Réinitialiser</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>Baked (PSD, ORA)</source>
        <translation>Cuits (PSD, ORA)</translation>
    </message>
    <message>
        <source>Occlusion</source>
        <translation>Occlusion ambiante</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>Lumière</translation>
    </message>
    <message>
        <source>Normals</source>
        <translation>Normales</translation>
    </message>
    <message>
        <source>Curvature</source>
        <translation>Courbure</translation>
    </message>
    <message>
        <source>Density</source>
        <translation>Densité</translation>
    </message>
    <message>
        <source>Never seen</source>
        <translation>Jamais vu</translation>
    </message>
    <message>
        <source> rays</source>
        <translation> rayons</translation>
    </message>
    <message>
        <source>Rays a texel of ambient occlusion and the never-seen mask cast: more is smoother and slower.</source>
        <translation>Rayons lancés par texel pour l’occlusion ambiante et le masque « jamais vu » : plus, c’est plus lisse et plus lent.</translation>
    </message>
    <message>
        <source>Bakes “%1” into PSD and ORA templates as a layer of its own. The preview shows every layer chosen, from %2 rays a texel.</source>
        <translation>Cuit « %1 » dans les gabarits PSD et ORA, en un calque à part. L’aperçu montre chaque calque choisi, à %2 rayons par texel.</translation>
    </message>
</context>
<context>
    <name>WorkspaceWindow</name>
    <message>
        <source>Outline the chosen surface (O)</source>
        <translation>Contour de la surface choisie (O)</translation>
    </message>
    <message>
        <source>Workspace — Gridwright</source>
        <translation>Atelier — Gridwright</translation>
    </message>
    <message>
        <source>Join the player&apos;s parts</source>
        <translation>Assembler les parties du joueur</translation>
    </message>
    <message>
        <source>Frame</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>The player&apos;s parts are not all shown: %1</source>
        <translation>Les parties du joueur ne sont pas toutes montrées : %1</translation>
    </message>
    <message>
        <source>%1 does not read as a picture; it is shown again once it does.</source>
        <translation>%1 ne se lit pas comme une image ; elle sera montrée dès qu&apos;elle se lira.</translation>
    </message>
    <message>
        <source>Torso</source>
        <translation>Torse</translation>
    </message>
    <message>
        <source>Legs</source>
        <translation>Jambes</translation>
    </message>
    <message>
        <source>Every model wearing this texture</source>
        <translation>Tous les modèles portant cette texture</translation>
    </message>
    <message>
        <source>Shows beside the model every other model of its game that wears the chosen surface&apos;s texture file, through any of its skins</source>
        <translation>Montre à côté du modèle tous les autres modèles de son jeu qui portent le fichier de texture de la surface choisie, par l&apos;une quelconque de leurs peaux</translation>
    </message>
    <message>
        <source>Looking through the game for the models wearing this texture…</source>
        <translation>Recherche dans le jeu des modèles portant cette texture…</translation>
    </message>
    <message>
        <source>No other model of the game wears %1.</source>
        <translation>Aucun autre modèle du jeu ne porte %1.</translation>
    </message>
    <message>
        <source>Choose a surface: the models wearing its texture stand beside this one.</source>
        <translation>Choisissez une surface : les modèles portant sa texture se tiennent à côté de celui-ci.</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>et %1 de plus</translation>
    </message>
    <message>
        <source>%1 of %2 other models wearing %3 shown: %4.</source>
        <translation>%1 des %2 autres modèles portant %3 montrés : %4.</translation>
    </message>
    <message>
        <source>choose a surface wearing the texture</source>
        <translation>choisissez une surface qui porte la texture</translation>
    </message>
    <message>
        <source>Pad on save: choose a surface that wears a texture file first.</source>
        <translation>Marges à l&apos;enregistrement : choisissez d&apos;abord une surface qui porte un fichier de texture.</translation>
    </message>
    <message>
        <source>PNG picture (*.png)</source>
        <translation>Image PNG (*.png)</translation>
    </message>
    <message>
        <source>TGA picture (*.tga)</source>
        <translation>Image TGA (*.tga)</translation>
    </message>
    <message>
        <source>Pad on save: the output cannot be the painted texture %1 itself; choose another file.</source>
        <translation>Marges à l&apos;enregistrement : le fichier produit ne peut pas être la texture peinte %1 elle-même ; choisissez un autre fichier.</translation>
    </message>
    <message>
        <source>Pad on save writes .png or .tga (they keep every texel and its alpha), not %1.</source>
        <translation>Les marges à l&apos;enregistrement s&apos;écrivent en .png ou .tga (qui gardent chaque texel et son alpha), pas en %1.</translation>
    </message>
    <message>
        <source>Pad on save: each save of %1 is padded into %2.</source>
        <translation>Marges à l&apos;enregistrement : chaque enregistrement de %1 est étendu dans %2.</translation>
    </message>
    <message>
        <source>%1 was saved but not padded: no output is chosen for it; turn &quot;Pad on save&quot; off and on to choose one.</source>
        <translation>%1 a été enregistré mais pas étendu : aucun fichier produit n&apos;est choisi ; décochez puis cochez « Marges à l&apos;enregistrement » pour en choisir un.</translation>
    </message>
    <message>
        <source>%1 was not padded: %2.</source>
        <translation>%1 n&apos;a pas été étendu : %2.</translation>
    </message>
    <message>
        <source>%1 was not padded: %2</source>
        <translation>%1 n&apos;a pas été étendu : %2</translation>
    </message>
    <message>
        <source>Padded %1 into %2: %3 texels padded.</source>
        <translation>%1 étendu dans %2 : %3 texels remplis.</translation>
    </message>
    <message>
        <source>Thin margins: the chosen surface wears no texture file.</source>
        <translation>Marges minces : la surface choisie ne porte aucun fichier de texture.</translation>
    </message>
    <message>
        <source>Thin margins are not shown: %1.</source>
        <translation>Les marges minces ne sont pas montrées : %1.</translation>
    </message>
    <message>
        <source>Thin margins are not shown: %1</source>
        <translation>Les marges minces ne sont pas montrées : %1</translation>
    </message>
    <message>
        <source>%1: %2 of %3 island border texels padded thinner than %4 texels, %5 texels of paint no face samples.</source>
        <translation>%1 : %2 texels de bord d&apos;îlot sur %3 ont une marge de moins de %4 texels, %5 texels de peinture ne sont lus par aucune face.</translation>
    </message>
    <message>
        <source>Pad on save</source>
        <translation>Marges à l&apos;enregistrement</translation>
    </message>
    <message>
        <source>Each time the chosen surface&apos;s texture is saved, writes it padded (its islands&apos; colours carried into the gutters) into a file of its own</source>
        <translation>À chaque enregistrement de la texture de la surface choisie, l&apos;écrit étendue (les couleurs de ses îlots portées dans les marges) dans un fichier à part</translation>
    </message>
    <message>
        <source>Show thin margins</source>
        <translation>Montrer les marges minces</translation>
    </message>
    <message>
        <source>Marks on the layout&apos;s texture the island borders painted thinner than the padding band, and paint no face samples</source>
        <translation>Marque sur la texture du patron les bords d&apos;îlots peints plus minces que la bande de marge, et la peinture qu&apos;aucune face ne lit</translation>
    </message>
    <message>
        <source>Ambient occlusion</source>
        <translation>Occlusion ambiante</translation>
    </message>
    <message>
        <source>Light from above</source>
        <translation>Lumière d&apos;en haut</translation>
    </message>
    <message>
        <source>Normals</source>
        <translation>Normales</translation>
    </message>
    <message>
        <source>Curvature</source>
        <translation>Courbure</translation>
    </message>
    <message>
        <source>Texel density</source>
        <translation>Densité de texels</translation>
    </message>
    <message>
        <source>Never seen</source>
        <translation>Jamais vu</translation>
    </message>
    <message>
        <source>Nothing baked: %1.</source>
        <translation>Rien n&apos;est calculé : %1.</translation>
    </message>
    <message>
        <source>Baking %1 of %2…</source>
        <translation>Calcul de %1 de %2…</translation>
    </message>
    <message>
        <source>%1 of %2: %3×%4, %5 rays a texel, %6 s; %7 % of its texels never seen.</source>
        <translation>%1 de %2 : %3×%4, %5 rayons par texel, %6 s ; %7 % de ses texels jamais vus.</translation>
    </message>
    <message>
        <source>%1 of %2: %3×%4, %5 s.</source>
        <translation>%1 de %2 : %3×%4, %5 s.</translation>
    </message>
    <message>
        <source>Refining…</source>
        <translation>Affinage…</translation>
    </message>
    <message>
        <source>The paint</source>
        <translation>La peinture</translation>
    </message>
    <message>
        <source>Shows on the model, in place of the chosen texture&apos;s paint, a layer baked from the model&apos;s own faces</source>
        <translation>Montre sur le modèle, à la place de la peinture de la texture choisie, un calque calculé à partir des faces du modèle</translation>
    </message>
    <message>
        <source>Show on the model:</source>
        <translation>Montrer sur le modèle :</translation>
    </message>
    <message>
        <source>Frames</source>
        <translation>Images</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lecture</translation>
    </message>
    <message>
        <source>The animation these frames play, at the file&apos;s speed</source>
        <translation>L’animation que jouent ces images, à la vitesse du fichier</translation>
    </message>
    <message>
        <source>The skin the model wears; a player&apos;s every part wears the one of that name</source>
        <translation>Le skin que porte le modèle ; chaque partie d’un joueur porte celui de ce nom</translation>
    </message>
    <message>
        <source>Skin:</source>
        <translation>Skin :</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>Pas à pas</translation>
    </message>
    <message>
        <source>Pause, and show the next frame of each animation</source>
        <translation>Met en pause et montre l’image suivante de chaque animation</translation>
    </message>
</context>
<context>
    <name>WornByDialog</name>
    <message>
        <source>Worn by:</source>
        <translation>Portée par :</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>et %1 de plus</translation>
    </message>
    <message>
        <source>Worn by…</source>
        <translation>Portée par…</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modèle</translation>
    </message>
    <message>
        <source>Surface</source>
        <translation>Surface</translation>
    </message>
    <message>
        <source>Skins</source>
        <translation>Skins</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Provenance</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Looking through the game&apos;s models…</source>
        <translation>Recherche parmi les modèles du jeu…</translation>
    </message>
    <message>
        <source>The surface wears no texture.</source>
        <translation>La surface ne porte aucune texture.</translation>
    </message>
    <message>
        <source>No model of the game wears %1.</source>
        <translation>Aucun modèle du jeu ne porte %1.</translation>
    </message>
    <message>
        <source>Surfaces wearing %1: %2.</source>
        <translation>Surfaces qui portent %1 : %2.</translation>
    </message>
    <message>
        <source>Models or skins that could not be looked through: %1.</source>
        <translation>Modèles ou skins qui n’ont pas pu être parcourus : %1.</translation>
    </message>
</context>
</TS>
