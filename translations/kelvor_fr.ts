<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Actions</name>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Show the list</source>
        <translation>Afficher la liste</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Interrompre</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>À propos...</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>Abort all</source>
        <translation>Tout interrompre</translation>
    </message>
    <message>
        <source>Increase the Volume</source>
        <translation>Augmenter le volume</translation>
    </message>
    <message>
        <source>Reduce the Volume</source>
        <translation>Baisser le volume</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Coller</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Ouvrir...</translation>
    </message>
    <message>
        <source>Open the preferred folder</source>
        <translation>Ouvrir le dossier préféré</translation>
    </message>
    <message>
        <source>Open all</source>
        <translation>Tout ouvrir</translation>
    </message>
    <message>
        <source>Open a folder...</source>
        <translation>Ouvrir un dossier...</translation>
    </message>
    <message>
        <source>Open a playlist...</source>
        <translation>Ouvrir une liste de lecture...</translation>
    </message>
    <message>
        <source>Open the default playlist</source>
        <translation>Ouvrir la liste de lecture par défaut</translation>
    </message>
    <message>
        <source>Launch a script</source>
        <translation>Lancer un script</translation>
    </message>
    <message>
        <source>Alphabetical order</source>
        <translation>Ordre alphabétique</translation>
    </message>
    <message>
        <source>Sort by datecode</source>
        <translation>Trier par datecode</translation>
    </message>
    <message>
        <source>Sort by size</source>
        <translation>Trier par taille</translation>
    </message>
    <message>
        <source>Sort by filedate</source>
        <translation>Trier par date de fichier</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Tout sélectionner</translation>
    </message>
    <message>
        <source>Empty the list</source>
        <translation>Vider la liste</translation>
    </message>
    <message>
        <source>Save the playlist as...</source>
        <translation>Enregistrer la liste de lecture sous...</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lecture</translation>
    </message>
    <message>
        <source>One frame forward</source>
        <translation>Une image en avant</translation>
    </message>
    <message>
        <source>One frame backward</source>
        <translation>Une image en arrière</translation>
    </message>
    <message>
        <source>One second forward</source>
        <translation>Une seconde en avant</translation>
    </message>
    <message>
        <source>One second backward</source>
        <translation>Une seconde en arrière</translation>
    </message>
    <message>
        <source>One minute forward</source>
        <translation>Une minute en avant</translation>
    </message>
    <message>
        <source>One minute backward</source>
        <translation>Une minute en arrière</translation>
    </message>
    <message>
        <source>Go to End</source>
        <translation>Aller à la fin</translation>
    </message>
    <message>
        <source>Go to Start</source>
        <translation>Aller au début</translation>
    </message>
    <message>
        <source>Next scene</source>
        <translation>Scène suivante</translation>
    </message>
    <message>
        <source>Previous scene</source>
        <translation>Scène précédente</translation>
    </message>
    <message>
        <source>Fullscreen</source>
        <translation>Plein écran</translation>
    </message>
    <message>
        <source>Sound off</source>
        <translation>Couper le son</translation>
    </message>
    <message>
        <source>Edit the scenes</source>
        <translation>Modifier les scènes</translation>
    </message>
    <message>
        <source>Insert a scene</source>
        <translation>Insérer une scène</translation>
    </message>
    <message>
        <source>Cut the scene</source>
        <translation>Couper la scène</translation>
    </message>
    <message>
        <source>Fix ranks and durations</source>
        <translation>Corriger les rangs et les durées</translation>
    </message>
    <message>
        <source>Save Scenes as scn</source>
        <translation>Enregistrer les scènes en scn</translation>
    </message>
    <message>
        <source>Save scenes as text</source>
        <translation>Enregistrer les scènes en texte</translation>
    </message>
    <message>
        <source>Export to excel</source>
        <translation>Exporter vers un tableur</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Fichiers</translation>
    </message>
    <message>
        <source>Video</source>
        <translation>Vidéo</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Renommer</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>Scenes</source>
        <translation>Scènes</translation>
    </message>
    <message>
        <source>Sort the list</source>
        <translation>Trier la liste</translation>
    </message>
</context>
<context>
    <name>PlayerMessages</name>
    <message>
        <source>Video not available</source>
        <translation>Vidéo non disponible</translation>
    </message>
    <message>
        <source>The file</source>
        <translation>Le fichier</translation>
    </message>
    <message>
        <source>is not found</source>
        <translation>est introuvable</translation>
    </message>
    <message>
        <source>The file </source>
        <translation>Le fichier </translation>
    </message>
    <message>
        <source>seems to have a non standard DV codec. To show the video, try to change the codec &quot;%1&quot; to &quot;dvsd&quot;</source>
        <translation>semble avoir un codec DV non standard. Pour afficher la vidéo, essayez de changer le codec « %1 » en « dvsd »</translation>
    </message>
    <message>
        <source>seems not to be a correct dvsd DV file. It&apos;s impossible to play</source>
        <translation>ne semble pas être un fichier DV dvsd correct. Impossible de le lire</translation>
    </message>
    <message>
        <source>has only Audio streams</source>
        <translation>ne contient que des flux audio</translation>
    </message>
    <message>
        <source>seems not to be a correct AVI file</source>
        <translation>ne semble pas être un fichier AVI correct</translation>
    </message>
    <message>
        <source> There is no directshow filter on your system that can decompress the</source>
        <translation> Aucun décodeur de votre système ne sait décompresser le</translation>
    </message>
    <message>
        <source>codec %1</source>
        <translation>codec %1</translation>
    </message>
    <message>
        <source>You may listen to Audio</source>
        <translation>Vous pouvez écouter le son</translation>
    </message>
    <message>
        <source>Unknown Audio</source>
        <translation>Son inconnu</translation>
    </message>
    <message>
        <source> Video temporarily interrupted</source>
        <translation> Vidéo interrompue temporairement</translation>
    </message>
    <message>
        <source>to execute a command</source>
        <translation>pour exécuter une commande</translation>
    </message>
    <message>
        <source>%1-bit</source>
        <translation>%1 bits</translation>
    </message>
    <message>
        <source>mono</source>
        <translation>mono</translation>
    </message>
    <message>
        <source>stereo</source>
        <translation>stéréo</translation>
    </message>
    <message>
        <source>stereo (2x)</source>
        <translation>stéréo (2x)</translation>
    </message>
    <message>
        <source>%1 channels</source>
        <translation>%1 canaux</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>No to all</source>
        <translation>Non à tout</translation>
    </message>
    <message>
        <source>Yes to all</source>
        <translation>Oui à tout</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tout</translation>
    </message>
</context>
<context>
    <name>kelvor::commands</name>
    <message>
        <source>Parent folder</source>
        <translation>Dossier parent</translation>
    </message>
    <message>
        <source>Read the RIFF header</source>
        <translation>Lire l&apos;en-tête RIFF</translation>
    </message>
    <message>
        <source>Open with </source>
        <translation>Ouvrir avec </translation>
    </message>
    <message>
        <source>Remove the file from list</source>
        <translation>Retirer le fichier de la liste</translation>
    </message>
    <message>
        <source>Delete the file</source>
        <translation>Supprimer le fichier</translation>
    </message>
    <message>
        <source>Play in the default media player</source>
        <translation>Lire dans le lecteur par défaut</translation>
    </message>
    <message>
        <source>Display the inlay</source>
        <translation>Afficher l&apos;incrustation</translation>
    </message>
    <message>
        <source>Modify the position of inlay</source>
        <translation>Modifier la position de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Add datecode</source>
        <translation>Ajouter le datecode</translation>
    </message>
    <message>
        <source>Add timecode</source>
        <translation>Ajouter le timecode</translation>
    </message>
    <message>
        <source>Shorten the name</source>
        <translation>Raccourcir le nom</translation>
    </message>
    <message>
        <source>Modify the date of file</source>
        <translation>Modifier la date du fichier</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Renommer</translation>
    </message>
    <message>
        <source>Convert into DV type 1</source>
        <translation>Convertir en DV type 1</translation>
    </message>
    <message>
        <source>Convert into DV type 2</source>
        <translation>Convertir en DV type 2</translation>
    </message>
    <message>
        <source>Convert into NTSC</source>
        <translation>Convertir en NTSC</translation>
    </message>
    <message>
        <source>Convert into Pal</source>
        <translation>Convertir en PAL</translation>
    </message>
    <message>
        <source>Inlay</source>
        <translation>Incruster</translation>
    </message>
    <message>
        <source>Recompress into DV type 2</source>
        <translation>Recompresser en DV type 2</translation>
    </message>
    <message>
        <source>Fix the DV type 2</source>
        <translation>Réparer le DV type 2</translation>
    </message>
    <message>
        <source>Extract audio</source>
        <translation>Extraire le son</translation>
    </message>
    <message>
        <source>Fix the video framerate</source>
        <translation>Corriger la fréquence d&apos;images</translation>
    </message>
    <message>
        <source>Change the codec</source>
        <translation>Changer le codec</translation>
    </message>
    <message>
        <source>Fix a time difference</source>
        <translation>Corriger un décalage horaire</translation>
    </message>
    <message>
        <source>Create a scn file by date</source>
        <translation>Créer un fichier scn par date</translation>
    </message>
    <message>
        <source>Create a scn from the content</source>
        <translation>Créer un scn selon le contenu</translation>
    </message>
    <message>
        <source>Delete the scn file</source>
        <translation>Supprimer le fichier scn</translation>
    </message>
    <message>
        <source>Create a subtitle file .srt</source>
        <translation>Créer un fichier de sous-titres .srt</translation>
    </message>
    <message>
        <source>Delete the subtitle file .srt</source>
        <translation>Supprimer le fichier de sous-titres .srt</translation>
    </message>
    <message>
        <source>Export the scenes as text</source>
        <translation>Exporter les scènes en texte</translation>
    </message>
    <message>
        <source>Export the scenes to an excel file</source>
        <translation>Exporter les scènes vers un classeur</translation>
    </message>
    <message>
        <source>Split in scenes</source>
        <translation>Découper en scènes</translation>
    </message>
    <message>
        <source>Show inlay</source>
        <translation>Afficher l&apos;incrustation</translation>
    </message>
    <message>
        <source>Hide inlay</source>
        <translation>Masquer l&apos;incrustation</translation>
    </message>
    <message>
        <source>Modify the position of Inlay</source>
        <translation>Modifier la position de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Hide the sliders for Inlay</source>
        <translation>Masquer les curseurs de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Export to MP4 (one file per scene)</source>
        <translation>Exporter en MP4 (un fichier par scène)</translation>
    </message>
    <message>
        <source>Converting &quot;%s&quot; into type 1</source>
        <translation>Conversion de « %s » en type 1</translation>
    </message>
    <message>
        <source>Converting &quot;%s&quot; into type 2</source>
        <translation>Conversion de « %s » en type 2</translation>
    </message>
    <message>
        <source>Converting &quot;%s&quot; into NTSC</source>
        <translation>Conversion de « %s » en NTSC</translation>
    </message>
    <message>
        <source>Converting &quot;%s&quot; into Pal</source>
        <translation>Conversion de « %s » en PAL</translation>
    </message>
    <message>
        <source>Inlaying the datecode into &quot;%s&quot;</source>
        <translation>Incrustation du datecode dans « %s »</translation>
    </message>
    <message>
        <source>Converting &quot;%s&quot; into DV type 2</source>
        <translation>Conversion de « %s » en DV type 2</translation>
    </message>
    <message>
        <source>Fix the DV type 2 file %s</source>
        <translation>Correction du fichier DV type 2 %s</translation>
    </message>
    <message>
        <source>Extracting audio from &quot;%s&quot;</source>
        <translation>Extraction du son de « %s »</translation>
    </message>
    <message>
        <source>Exporting &quot;%s&quot; to MP4</source>
        <translation>Export de « %s » en MP4</translation>
    </message>
    <message>
        <source>Fixing the time difference in &quot;%s&quot;</source>
        <translation>Correction du décalage horaire de « %s »</translation>
    </message>
    <message>
        <source>Creating a scn file for &quot;%s&quot; with date</source>
        <translation>Création d&apos;un fichier scn pour « %s » par date</translation>
    </message>
    <message>
        <source>Creating a scn file for &quot;%s&quot; with content</source>
        <translation>Création d&apos;un fichier scn pour « %s » par contenu</translation>
    </message>
    <message>
        <source>Creating a srt file for &quot;%s&quot;</source>
        <translation>Création d&apos;un fichier srt pour « %s »</translation>
    </message>
    <message>
        <source>Exporting the list of scenes by date of &quot;%s&quot; into text</source>
        <translation>Export en texte de la liste des scènes par date de « %s »</translation>
    </message>
    <message>
        <source>Exporting to excel the list of scenes of &quot;%s&quot;</source>
        <translation>Export vers Excel de la liste des scènes de « %s »</translation>
    </message>
    <message>
        <source>Exporting to text the list of scenes by date of &quot;%s&quot;</source>
        <translation>Export en texte de la liste des scènes par date de « %s »</translation>
    </message>
    <message>
        <source>Converting scn to text for &quot;%s&quot;</source>
        <translation>Conversion du scn en texte pour « %s »</translation>
    </message>
    <message>
        <source>Exporting the list of scenes by content of &quot;%s&quot; to text</source>
        <translation>Export en texte de la liste des scènes par contenu de « %s »</translation>
    </message>
    <message>
        <source>Converting scn to excel for &quot;%s&quot;</source>
        <translation>Conversion du scn vers Excel pour « %s »</translation>
    </message>
    <message>
        <source>Exporting to excel the list of scenes by date of &quot;%s&quot;</source>
        <translation>Export vers Excel de la liste des scènes par date de « %s »</translation>
    </message>
    <message>
        <source>Exporting to excel the list of scenes by content of &quot;%s&quot;</source>
        <translation>Export vers Excel de la liste des scènes par contenu de « %s »</translation>
    </message>
    <message>
        <source>the graph cannot be built</source>
        <translation>la chaîne de traitement ne peut pas être construite</translation>
    </message>
    <message>
        <source>the video has no length</source>
        <translation>la vidéo n&apos;a pas de durée</translation>
    </message>
    <message>
        <source>the graph cannot start</source>
        <translation>la chaîne de traitement ne peut pas démarrer</translation>
    </message>
    <message>
        <source>Do you want to replace the existing file %s ?</source>
        <translation>Voulez-vous remplacer le fichier existant %s ?</translation>
    </message>
    <message>
        <source>Do you want to replace the existing file ?</source>
        <translation>Voulez-vous remplacer le fichier existant ?</translation>
    </message>
    <message>
        <source>If you type &quot;Yes to All&quot; or &quot;No to All&quot; then no more confimation will be asked for.</source>
        <translation>Si vous répondez « Oui à tout » ou « Non à tout », aucune autre confirmation ne sera demandée.</translation>
    </message>
    <message>
        <source>An error occured while <byte value="xd"/>
%s.<byte value="xd"/>
<byte value="xd"/>
Please check at least if the source file exists, if the destination disk is full or the destination folder is read-only.</source>
        <translation>Une erreur s&apos;est produite pendant : <byte value="xd"/>
%s.<byte value="xd"/>
<byte value="xd"/>
Vérifiez au moins que le fichier source existe, que le disque de destination n&apos;est pas plein et que le dossier de destination n&apos;est pas en lecture seule.</translation>
    </message>
    <message>
        <source>incomplete</source>
        <translation>incomplet</translation>
    </message>
    <message>
        <source>incomplete: %d frames</source>
        <translation>incomplet : %d images</translation>
    </message>
    <message>
        <source>incomplete: %d of %d frames</source>
        <translation>incomplet : %d images sur %d</translation>
    </message>
    <message>
        <source>the file cannot be read: </source>
        <translation>le fichier ne peut pas être lu : </translation>
    </message>
    <message>
        <source>the read-only file cannot be made writable: </source>
        <translation>le fichier en lecture seule ne peut pas être rendu modifiable : </translation>
    </message>
    <message>
        <source>the header cannot be written</source>
        <translation>l&apos;en-tête ne peut pas être écrit</translation>
    </message>
    <message>
        <source>the file could not be made read-only again: </source>
        <translation>le fichier n&apos;a pas pu être remis en lecture seule : </translation>
    </message>
    <message>
        <source>Do you really want to change the fps value from %s to %s?</source>
        <translation>Voulez-vous vraiment changer la fréquence d&apos;images de %s en %s ?</translation>
    </message>
    <message>
        <source>the file has no video stream header to patch</source>
        <translation>le fichier n&apos;a pas d&apos;en-tête de flux vidéo à corriger</translation>
    </message>
    <message>
        <source>Do you really want to change the codec from %s to %s?</source>
        <translation>Voulez-vous vraiment changer le codec de %s en %s ?</translation>
    </message>
    <message>
        <source>the codec cannot be written</source>
        <translation>le codec ne peut pas être écrit</translation>
    </message>
    <message>
        <source>If yes, it will be sent to the Recycle bin.</source>
        <translation>Si oui, il sera mis à la corbeille.</translation>
    </message>
    <message>
        <source>Do you really want to delete %s ?</source>
        <translation>Voulez-vous vraiment supprimer %s ?</translation>
    </message>
    <message>
        <source>Do you really want to delete this file?</source>
        <translation>Voulez-vous vraiment supprimer ce fichier ?</translation>
    </message>
    <message>
        <source>the file cannot be moved to the trash</source>
        <translation>le fichier ne peut pas être mis à la corbeille</translation>
    </message>
    <message>
        <source>the file manager cannot be opened</source>
        <translation>le gestionnaire de fichiers ne peut pas être ouvert</translation>
    </message>
    <message>
        <source>no player could be started for the file</source>
        <translation>aucun lecteur n&apos;a pu être lancé pour le fichier</translation>
    </message>
    <message>
        <source>the program cannot be started</source>
        <translation>le programme ne peut pas être lancé</translation>
    </message>
    <message>
        <source>cannot rename %s to %s: %s; %s keeps its name</source>
        <translation>impossible de renommer %s en %s : %s ; %s garde son nom</translation>
    </message>
    <message>
        <source>the name is taken</source>
        <translation>le nom est déjà pris</translation>
    </message>
    <message>
        <source>the new name holds a character a file name cannot hold</source>
        <translation>le nouveau nom contient un caractère interdit dans un nom de fichier</translation>
    </message>
    <message>
        <source>cannot rename to %s: %s</source>
        <translation>impossible de renommer en %s : %s</translation>
    </message>
    <message>
        <source>cannot find a free name for %s</source>
        <translation>aucun nom libre trouvé pour %s</translation>
    </message>
    <message>
        <source>Do you want to add a datecode to &apos;%s&apos;<byte value="xd"/>
and rename it to &apos;%s&apos;?</source>
        <translation>Voulez-vous ajouter un datecode à « %s »<byte value="xd"/>
et le renommer en « %s » ?</translation>
    </message>
    <message>
        <source>Do you want to add a datecode to this filename and rename it to<byte value="xd"/>
&apos;%s&apos;?</source>
        <translation>Voulez-vous ajouter un datecode au nom de ce fichier et le renommer en<byte value="xd"/>
« %s » ?</translation>
    </message>
    <message>
        <source>Do you want to add a datecode to this file?</source>
        <translation>Voulez-vous ajouter un datecode à ce fichier ?</translation>
    </message>
    <message>
        <source>Do you really want to add its timecode to the file &apos;%s&apos;<byte value="xd"/>
and rename it to &apos;%s&apos;?</source>
        <translation>Voulez-vous vraiment ajouter son timecode au fichier « %s »<byte value="xd"/>
et le renommer en « %s » ?</translation>
    </message>
    <message>
        <source>Do you really want to add its timecode to the file <byte value="xd"/>
and rename it to &apos;%s&apos;?</source>
        <translation>Voulez-vous vraiment ajouter son timecode au fichier<byte value="xd"/>
et le renommer en « %s » ?</translation>
    </message>
    <message>
        <source>Do you really want to add its timecode to the file?</source>
        <translation>Voulez-vous vraiment ajouter son timecode au fichier ?</translation>
    </message>
    <message>
        <source>Do you want to rename the file  &apos;%s&apos; in &apos;%s&apos;?</source>
        <translation>Voulez-vous renommer le fichier « %s » en « %s » ?</translation>
    </message>
    <message>
        <source>Do you want to rename this file in &apos;%s&apos;?</source>
        <translation>Voulez-vous renommer ce fichier en « %s » ?</translation>
    </message>
    <message>
        <source>Do you want to rename this file à Scenalyser?</source>
        <translation>Voulez-vous renommer ce fichier ?</translation>
    </message>
    <message>
        <source>Do you want to shorten the name of &apos;%s&apos;<byte value="xd"/>
and rename it to &apos;%s&apos;?</source>
        <translation>Voulez-vous raccourcir le nom de « %s »<byte value="xd"/>
et le renommer en « %s » ?</translation>
    </message>
    <message>
        <source>Do you want to shorten the name of this file and rename it to<byte value="xd"/>
&apos;%s&apos;?</source>
        <translation>Voulez-vous raccourcir le nom de ce fichier et le renommer en<byte value="xd"/>
« %s » ?</translation>
    </message>
    <message>
        <source>Do you want to shorten the name of this file?</source>
        <translation>Voulez-vous raccourcir le nom de ce fichier ?</translation>
    </message>
    <message>
        <source>Old creation date: </source>
        <translation>Ancienne date de création : </translation>
    </message>
    <message>
        <source>Old modified date:  </source>
        <translation>Ancienne date de modification : </translation>
    </message>
    <message>
        <source>New date : </source>
        <translation>Nouvelle date : </translation>
    </message>
    <message>
        <source>Do you really want to modify the dates of the file &apos;%s&apos;</source>
        <translation>Voulez-vous vraiment modifier les dates du fichier « %s »</translation>
    </message>
    <message>
        <source>Do you really want to modify the dates of this file?</source>
        <translation>Voulez-vous vraiment modifier les dates de ce fichier ?</translation>
    </message>
    <message>
        <source>the file has no recording date</source>
        <translation>le fichier n&apos;a pas de date d&apos;enregistrement</translation>
    </message>
    <message>
        <source>the datecode is not a time this system can set</source>
        <translation>le datecode n&apos;est pas une heure que ce système peut donner au fichier</translation>
    </message>
    <message>
        <source>the file date cannot be set: </source>
        <translation>la date du fichier ne peut pas être changée : </translation>
    </message>
    <message>
        <source>the file system cannot hold the date </source>
        <translation>le système de fichiers ne peut pas enregistrer la date </translation>
    </message>
    <message>
        <source>Do you want to replace the existing scn-file ?</source>
        <translation>Voulez-vous remplacer le fichier scn existant ?</translation>
    </message>
    <message>
        <source>Do you really want to move the file %s to the recycle bin?</source>
        <translation>Voulez-vous vraiment mettre le fichier %s à la corbeille ?</translation>
    </message>
    <message>
        <source>Do you really want to move this scn-file to the recycle bin?</source>
        <translation>Voulez-vous vraiment mettre ce fichier scn à la corbeille ?</translation>
    </message>
    <message>
        <source>Do you really want to move this srt-file to the recycle bin?</source>
        <translation>Voulez-vous vraiment mettre ce fichier srt à la corbeille ?</translation>
    </message>
    <message>
        <source>a scene file could not be written: </source>
        <translation>un fichier de scènes n&apos;a pas pu être écrit : </translation>
    </message>
    <message>
        <source>a scene file could not be written</source>
        <translation>un fichier de scènes n&apos;a pas pu être écrit</translation>
    </message>
    <message>
        <source>no such scene in the scn file</source>
        <translation>cette scène n&apos;existe pas dans le fichier scn</translation>
    </message>
    <message>
        <source>the scn file cannot be read, or the text list cannot be written</source>
        <translation>le fichier scn ne peut pas être lu, ou la liste en texte ne peut pas être écrite</translation>
    </message>
    <message>
        <source>the scn file cannot be read, or the spreadsheet cannot be written</source>
        <translation>le fichier scn ne peut pas être lu, ou le classeur ne peut pas être écrit</translation>
    </message>
    <message>
        <source>the scn file cannot be moved to the trash</source>
        <translation>le fichier scn ne peut pas être mis à la corbeille</translation>
    </message>
    <message>
        <source>the srt file cannot be moved to the trash</source>
        <translation>le fichier srt ne peut pas être mis à la corbeille</translation>
    </message>
    <message>
        <source>Finding the scenes of &quot;%s&quot; by date</source>
        <translation>Recherche des scènes de « %s » par date</translation>
    </message>
    <message>
        <source>the file is not found</source>
        <translation>le fichier est introuvable</translation>
    </message>
    <message>
        <source>not an AVI file: this command applies to AVI files only</source>
        <translation>pas un fichier AVI : cette commande ne s&apos;applique qu&apos;aux fichiers AVI</translation>
    </message>
    <message>
        <source>&quot;%s&quot; does not apply to this file</source>
        <translation>« %s » ne s&apos;applique pas à ce fichier</translation>
    </message>
    <message>
        <source>an error occured: </source>
        <translation>une erreur s&apos;est produite : </translation>
    </message>
    <message>
        <source>Cutting the scene %d of </source>
        <translation>Découpage de la scène %d de </translation>
    </message>
    <message>
        <source>not a DV file of type 2 or with the codec dvsd</source>
        <translation>pas un fichier DV de type 2 ou avec le codec dvsd</translation>
    </message>
    <message>
        <source>the file is read-only</source>
        <translation>le fichier est en lecture seule</translation>
    </message>
    <message>
        <source>no datecode</source>
        <translation>pas de datecode</translation>
    </message>
    <message>
        <source>no timecode</source>
        <translation>pas de timecode</translation>
    </message>
    <message>
        <source>nothing to remove from the name</source>
        <translation>rien à retirer du nom</translation>
    </message>
    <message>
        <source>not a DV type 2 file</source>
        <translation>pas un fichier DV de type 2</translation>
    </message>
    <message>
        <source>not a DV type 1 file with the codec dvsd</source>
        <translation>pas un fichier DV de type 1 avec le codec dvsd</translation>
    </message>
    <message>
        <source>not a PAL DV file of type 2 or with the codec dvsd</source>
        <translation>pas un fichier DV PAL de type 2 ou avec le codec dvsd</translation>
    </message>
    <message>
        <source>not an NTSC DV file of type 2 or with the codec dvsd</source>
        <translation>pas un fichier DV NTSC de type 2 ou avec le codec dvsd</translation>
    </message>
    <message>
        <source>already a DV file</source>
        <translation>déjà un fichier DV</translation>
    </message>
    <message>
        <source>not a DV type 2 file with an interleaved stream</source>
        <translation>pas un fichier DV de type 2 à flux entrelacé</translation>
    </message>
    <message>
        <source>no sound</source>
        <translation>pas de son</translation>
    </message>
    <message>
        <source>not a DV file</source>
        <translation>pas un fichier DV</translation>
    </message>
    <message>
        <source>a DV type 1 file</source>
        <translation>un fichier DV de type 1</translation>
    </message>
    <message>
        <source>no video</source>
        <translation>pas de vidéo</translation>
    </message>
    <message>
        <source>no scn file</source>
        <translation>pas de fichier scn</translation>
    </message>
    <message>
        <source>no srt file</source>
        <translation>pas de fichier srt</translation>
    </message>
    <message>
        <source>no scn file and no video</source>
        <translation>ni fichier scn ni vidéo</translation>
    </message>
    <message>
        <source>not a DV file with a scn file</source>
        <translation>pas un fichier DV avec un fichier scn</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::AboutPanel</name>
    <message>
        <source>Version %1, built on %2</source>
        <translation>Version %1, compilée le %2</translation>
    </message>
    <message>
        <source>by %1</source>
        <translation>par %1</translation>
    </message>
    <message>
        <source>Lists DV camcorder AVI files with their datecode and timecode, finds scenes, renames, converts and previews them with the datecode overlaid.</source>
        <translation>Liste les fichiers AVI de caméscope DV avec leur datecode et leur timecode, trouve les scènes, les renomme, les convertit et les affiche avec le datecode incrusté.</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>À propos...</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Check if the relevant directshow filters are correctly installed on your system.</source>
        <translation>Vérifier que les décodeurs utiles sont bien installés sur votre système.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Close the &quot;About&quot; window and go back to main window.</source>
        <translation>Fermer la fenêtre « À propos » et revenir à la fenêtre principale.</translation>
    </message>
    <message>
        <source>My operating system is: </source>
        <translation>Mon système d&apos;exploitation : </translation>
    </message>
    <message>
        <source>I am using:</source>
        <translation>J&apos;utilise :</translation>
    </message>
    <message>
        <source>Media engine version %1.</source>
        <translation>Moteur multimédia version %1.</translation>
    </message>
    <message>
        <source>Varnolt:</source>
        <translation>Varnolt :</translation>
    </message>
    <message>
        <source>Varnolt not found</source>
        <translation>Varnolt introuvable</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::CodecDialog</name>
    <message>
        <source>Change the video codec</source>
        <translation>Changer le codec vidéo</translation>
    </message>
    <message>
        <source>Choose the codec
(4 characters)</source>
        <translation>Choisissez le codec
(4 caractères)</translation>
    </message>
    <message>
        <source>Choose a codec</source>
        <translation>Choisissez un codec</translation>
    </message>
    <message>
        <source>personalized</source>
        <translation>personnalisé</translation>
    </message>
    <message>
        <source>Personalized Codec</source>
        <translation>Codec personnalisé</translation>
    </message>
    <message>
        <source>Indicate the personalized codec (4 characters)</source>
        <translation>Indiquez le codec personnalisé (4 caractères)</translation>
    </message>
    <message>
        <source>Validate the change of codec.</source>
        <translation>Valider le changement de codec.</translation>
    </message>
    <message>
        <source>Cancel the command &quot;Fix the codec&quot; <byte value="xd"/>
without applying the modification.</source>
        <translation>Annuler la commande « Changer le codec »<byte value="xd"/>
sans appliquer la modification.</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::FileListModel</name>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Recorded</source>
        <translation>Enregistré le</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Durée</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Norme</translation>
    </message>
    <message>
        <source>Scenes</source>
        <translation>Scènes</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::FrameRateDialog</name>
    <message>
        <source>Fix the framerate</source>
        <translation>Corriger la fréquence d&apos;images</translation>
    </message>
    <message>
        <source>Indicate the framerate in frames per seconds.<byte value="xd"/>
The audio frequency remains inchanged.</source>
        <translation>Indiquez la fréquence en images par seconde.<byte value="xd"/>
La fréquence du son reste inchangée.</translation>
    </message>
    <message>
        <source>Choose a framerate.</source>
        <translation>Choisissez une fréquence.</translation>
    </message>
    <message>
        <source>25 frames/sec (Pal)</source>
        <translation>25 images/s (PAL)</translation>
    </message>
    <message>
        <source>29.97 frames/sec (NTSC)</source>
        <translation>29,97 images/s (NTSC)</translation>
    </message>
    <message>
        <source>personalized</source>
        <translation>personnalisé</translation>
    </message>
    <message>
        <source>Personalized frequency</source>
        <translation>Fréquence personnalisée</translation>
    </message>
    <message>
        <source>Indicate the framerate by a decimal number<byte value="xd"/>
(using your local representation).</source>
        <translation>Indiquez la fréquence par un nombre décimal<byte value="xd"/>
(selon la notation de votre pays).</translation>
    </message>
    <message>
        <source>frames/sec</source>
        <translation>images/s</translation>
    </message>
    <message>
        <source>Apply the new framerate.</source>
        <translation>Appliquer la nouvelle fréquence.</translation>
    </message>
    <message>
        <source>Cancel the command &quot;Fix the framerate&quot; <byte value="xd"/>
without applying the modification.</source>
        <translation>Annuler la commande « Corriger la fréquence d&apos;images »<byte value="xd"/>
sans appliquer la modification.</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::MainWindow</name>
    <message>
        <source>Tools</source>
        <translation>Outils</translation>
    </message>
    <message>
        <source> - sorted alphabetically</source>
        <translation> - triés par ordre alphabétique</translation>
    </message>
    <message>
        <source> - sorted by filesize</source>
        <translation> - triés par taille</translation>
    </message>
    <message>
        <source> - sorted by filedate</source>
        <translation> - triés par date de fichier</translation>
    </message>
    <message>
        <source> - sorted by datecode</source>
        <translation> - triés par datecode</translation>
    </message>
    <message>
        <source>%1 files of %2</source>
        <translation>%1 fichiers sur %2</translation>
    </message>
    <message>
        <source>%1 file of %2</source>
        <translation>%1 fichier sur %2</translation>
    </message>
    <message>
        <source>%1 files selecteds of %2<byte value="xd"/>
Type F6 to hide the list.</source>
        <translation>%1 fichiers sélectionnés sur %2<byte value="xd"/>
Tapez F6 pour masquer la liste.</translation>
    </message>
    <message>
        <source>%1 file selected of %2<byte value="xd"/>
Type F6 to hide the list.</source>
        <translation>%1 fichier sélectionné sur %2<byte value="xd"/>
Tapez F6 pour masquer la liste.</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Prêt</translation>
    </message>
    <message>
        <source>Open the playlist %1</source>
        <translation>Ouverture de la liste de lecture %1</translation>
    </message>
    <message>
        <source>Browsing %1</source>
        <translation>Exploration de %1</translation>
    </message>
    <message>
        <source>Browsing a folder</source>
        <translation>Exploration d&apos;un dossier</translation>
    </message>
    <message>
        <source>DV video files (*.avi *.AVI *.dv *.DV *.dif *.DIF *.mov *.MOV *.mkv *.MKV)</source>
        <translation>Fichiers vidéo DV (*.avi *.AVI *.dv *.DV *.dif *.DIF *.mov *.MOV *.mkv *.MKV)</translation>
    </message>
    <message>
        <source>Loading files</source>
        <translation>Chargement des fichiers</translation>
    </message>
    <message>
        <source>Select the folder containing the AVI files to open</source>
        <translation>Choisissez le dossier contenant les fichiers AVI à ouvrir</translation>
    </message>
    <message>
        <source>Browsing the folder</source>
        <translation>Exploration du dossier</translation>
    </message>
    <message>
        <source>Loading all AVI files</source>
        <translation>Chargement de tous les fichiers AVI</translation>
    </message>
    <message>
        <source>playlist (*.txt)</source>
        <translation>liste de lecture (*.txt)</translation>
    </message>
    <message>
        <source>Paste files</source>
        <translation>Collage de fichiers</translation>
    </message>
    <message>
        <source>Open drag-and-dropped files</source>
        <translation>Ouverture des fichiers déposés</translation>
    </message>
    <message>
        <source>Hide the list</source>
        <translation>Masquer la liste</translation>
    </message>
    <message>
        <source>Show the list</source>
        <translation>Afficher la liste</translation>
    </message>
    <message>
        <source>Sound off</source>
        <translation>Couper le son</translation>
    </message>
    <message>
        <source>Sound is On.<byte value="xd"/>
Click to turn the sound Off.</source>
        <translation>Le son est activé.<byte value="xd"/>
Cliquez pour couper le son.</translation>
    </message>
    <message>
        <source>Sound on</source>
        <translation>Rétablir le son</translation>
    </message>
    <message>
        <source>Sound is Off.<byte value="xd"/>
Click to turn the sound On.</source>
        <translation>Le son est coupé.<byte value="xd"/>
Cliquez pour rétablir le son.</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lecture</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Quit fullscreen</source>
        <translation>Quitter le plein écran</translation>
    </message>
    <message>
        <source>Fullscreen</source>
        <translation>Plein écran</translation>
    </message>
    <message>
        <source>Not processed: %1</source>
        <translation>Non traité : %1</translation>
    </message>
    <message>
        <source> (and %1 more)</source>
        <translation> (et %1 autres)</translation>
    </message>
    <message>
        <source>Nothing listed from %1: no such file or folder, or no video the list takes</source>
        <translation>Rien ajouté depuis %1 : fichier ou dossier introuvable, ou aucune vidéo que la liste accepte</translation>
    </message>
    <message>
        <source>Open with %1</source>
        <translation>Ouvrir avec %1</translation>
    </message>
    <message>
        <source>by</source>
        <translation>par</translation>
    </message>
    <message>
        <source>Quit %1</source>
        <translation>Quitter %1</translation>
    </message>
    <message>
        <source>Show inlay</source>
        <translation>Afficher l&apos;incrustation</translation>
    </message>
    <message>
        <source>Hide the sliders for inlay</source>
        <translation>Masquer les curseurs de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Modify the position of inlay</source>
        <translation>Modifier la position de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Do you want to save the preferences of %1 beside the program to find them again at next start?<byte value="xd"/>
<byte value="xd"/>
If you answer &quot;All&quot;, then %2 will save them automatically when quitting.</source>
        <translation>Voulez-vous enregistrer les préférences de %1 à côté du programme pour les retrouver au prochain démarrage ?<byte value="xd"/>
<byte value="xd"/>
Si vous répondez « Tout », %2 les enregistrera automatiquement en quittant.</translation>
    </message>
    <message>
        <source>Do you want to save the preferences of %1 in your configuration folder to find them again at next start?<byte value="xd"/>
<byte value="xd"/>
If you answer &quot;All&quot;, then %2 will save them automatically when quitting.</source>
        <translation>Voulez-vous enregistrer les préférences de %1 dans votre dossier de configuration pour les retrouver au prochain démarrage ?<byte value="xd"/>
<byte value="xd"/>
Si vous répondez « Tout », %2 les enregistrera automatiquement en quittant.</translation>
    </message>
    <message>
        <source>Hide  inlay</source>
        <translation>Masquer l&apos;incrustation</translation>
    </message>
    <message>
        <source>Details view</source>
        <translation>Vue détaillée</translation>
    </message>
    <message>
        <source>A conversion is running: stop it and quit?</source>
        <translation>Une conversion est en cours : l’arrêter et quitter ?</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::PlayerFrame</name>
    <message>
        <source>Modify the position of inlay</source>
        <translation>Modifier la position de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lecture</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::PlayerPanel</name>
    <message>
        <source>Vertical position of the inlay</source>
        <translation>Position verticale de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Horizontal position of the inlay</source>
        <translation>Position horizontale de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Datecode</source>
        <translation>Datecode</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>Codec</source>
        <translation>Codec</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Durée</translation>
    </message>
    <message>
        <source>Fps</source>
        <translation>Images/s</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Son</translation>
    </message>
    <message>
        <source>Copy the datecode</source>
        <translation>Copier le datecode</translation>
    </message>
    <message>
        <source>Copy the timecode</source>
        <translation>Copier le timecode</translation>
    </message>
    <message>
        <source>Copy the codec</source>
        <translation>Copier le codec</translation>
    </message>
    <message>
        <source>Copy the image size</source>
        <translation>Copier la taille d&apos;image</translation>
    </message>
    <message>
        <source>Copy the duration</source>
        <translation>Copier la durée</translation>
    </message>
    <message>
        <source>Copy the framerate</source>
        <translation>Copier la fréquence d&apos;images</translation>
    </message>
    <message>
        <source>Copy audio</source>
        <translation>Copier le son</translation>
    </message>
    <message>
        <source>Copy the full name</source>
        <translation>Copier le nom complet</translation>
    </message>
    <message>
        <source>Click to open the parent folder</source>
        <translation>Cliquez pour ouvrir le dossier parent</translation>
    </message>
    <message>
        <source> (atypical)</source>
        <translation> (atypique)</translation>
    </message>
    <message>
        <source>File     : %1<byte value="xd"/>
Size     : %2<byte value="xd"/>
Modified : %3</source>
        <translation>Fichier : %1<byte value="xd"/>
Taille  : %2<byte value="xd"/>
Modifié : %3</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::RiffReportWindow</name>
    <message>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Save a  LOG file...</source>
        <translation>Enregistrer un fichier journal...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Close this window</source>
        <translation>Fermer cette fenêtre</translation>
    </message>
    <message>
        <source>Log files (*.log);;Txt files(*.txt);;All files (*.*)</source>
        <translation>Fichiers journaux (*.log);;Fichiers texte (*.txt);;Tous les fichiers (*.*)</translation>
    </message>
    <message>
        <source>Header of the file %1</source>
        <translation>En-tête du fichier %1</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::SceneEditorPanel</name>
    <message>
        <source>Insert</source>
        <translation>Insérer</translation>
    </message>
    <message>
        <source>Insert a scene starting at the current frame</source>
        <translation>Insérer une scène commençant à l&apos;image courante</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Couper</translation>
    </message>
    <message>
        <source>Delete this scene by merging it with the previous one<byte value="xd"/>
The first scene cannot be deleted</source>
        <translation>Supprimer cette scène en la fusionnant avec la précédente<byte value="xd"/>
La première scène ne peut pas être supprimée</translation>
    </message>
    <message>
        <source>Fix</source>
        <translation>Corriger</translation>
    </message>
    <message>
        <source>Fix the rank number of scenes and their duration</source>
        <translation>Corriger le numéro des scènes et leur durée</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Texte</translation>
    </message>
    <message>
        <source>Save the scenes in a text file<byte value="xd"/>
called *_scn.txt in the same folder as the video</source>
        <translation>Enregistrer les scènes dans un fichier texte<byte value="xd"/>
nommé *_scn.txt dans le dossier de la vidéo</translation>
    </message>
    <message>
        <source>Sheet</source>
        <translation>Classeur</translation>
    </message>
    <message>
        <source>Save the scenes in a spreadsheet<byte value="xd"/>
in the same folder as the video</source>
        <translation>Enregistrer les scènes dans un classeur<byte value="xd"/>
dans le dossier de la vidéo</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Save the scenes in a scn file<byte value="xd"/>
in the same folder as the video</source>
        <translation>Enregistrer les scènes dans un fichier scn<byte value="xd"/>
dans le dossier de la vidéo</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Appliquer</translation>
    </message>
    <message>
        <source>Write the caption into the selected scene</source>
        <translation>Écrire la légende dans la scène sélectionnée</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::SettingsPanel</name>
    <message>
        <source>%1 days %2h %3m %4s</source>
        <translation>%1 jours %2h %3m %4s</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;%1&quot;&gt;Homepage of Kelvor&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;%1&quot;&gt;Site de Kelvor&lt;/a&gt;</translation>
    </message>
    <message>
        <source>to get help or updates for %1</source>
        <translation>pour obtenir de l&apos;aide ou les mises à jour de %1</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Préférences</translation>
    </message>
    <message>
        <source>Shortcuts</source>
        <translation>Raccourcis</translation>
    </message>
    <message>
        <source>Formats</source>
        <translation>Formats</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Dossiers</translation>
    </message>
    <message>
        <source>Inlay</source>
        <translation>Incrustation</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Close the Settings window.<byte value="xd"/>
You may also type F10.</source>
        <translation>Fermer la fenêtre des paramètres.<byte value="xd"/>
Vous pouvez aussi taper F10.</translation>
    </message>
    <message>
        <source>Choose a folder</source>
        <translation>Choisissez un dossier</translation>
    </message>
    <message>
        <source>Choose a program</source>
        <translation>Choisissez un programme</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>Police</translation>
    </message>
    <message>
        <source>Colour of the inlay</source>
        <translation>Couleur de l&apos;incrustation</translation>
    </message>
    <message>
        <source>Save the preferences when quit</source>
        <translation>Enregistrer les préférences en quittant</translation>
    </message>
    <message>
        <source>Save your preferences into your configuration folder<byte value="xd"/>
each time you quit the application.</source>
        <translation>Enregistrer vos préférences dans votre dossier de configuration<byte value="xd"/>
à chaque fois que vous quittez l&apos;application.</translation>
    </message>
    <message>
        <source>Save the preferences now</source>
        <translation>Enregistrer les préférences maintenant</translation>
    </message>
    <message>
        <source>Save the preferences now into your configuration folder.</source>
        <translation>Enregistrer maintenant les préférences dans votre dossier de configuration.</translation>
    </message>
    <message>
        <source>Delete the preferences</source>
        <translation>Supprimer les préférences</translation>
    </message>
    <message>
        <source>Delete the saved preferences.<byte value="xd"/>
At next start, the application will load<byte value="xd"/>
with default parameters.</source>
        <translation>Supprimer les préférences enregistrées.<byte value="xd"/>
Au prochain démarrage, l&apos;application se lancera<byte value="xd"/>
avec les paramètres par défaut.</translation>
    </message>
    <message>
        <source>Where to save the preferences</source>
        <translation>Où enregistrer les préférences</translation>
    </message>
    <message>
        <source>In your configuration folder</source>
        <translation>Dans votre dossier de configuration</translation>
    </message>
    <message>
        <source>Beside the program (portable)</source>
        <translation>À côté du programme (portable)</translation>
    </message>
    <message>
        <source>Indicate where the Preferences will be saved in order to retrieve them at next start.</source>
        <translation>Indiquez où les préférences seront enregistrées pour les retrouver au prochain démarrage.</translation>
    </message>
    <message>
        <source>Show Kelvor in Open With</source>
        <translation>Proposer Kelvor dans « Ouvrir avec »</translation>
    </message>
    <message>
        <source>If this box is checked, then you can open one or several AVI files<byte value="xd"/>
with Kelvor from the file manager: Kelvor is offered<byte value="xd"/>
in the menu &quot;Open With&quot; of AVI files.</source>
        <translation>Si cette case est cochée, vous pouvez ouvrir un ou plusieurs fichiers AVI<byte value="xd"/>
avec Kelvor depuis le gestionnaire de fichiers : Kelvor est proposé<byte value="xd"/>
dans le menu « Ouvrir avec » des fichiers AVI.</translation>
    </message>
    <message>
        <source>Select when opening</source>
        <translation>Sélectionner à l&apos;ouverture</translation>
    </message>
    <message>
        <source>Check to select automatically the files when they are added to the list.</source>
        <translation>Cochez pour sélectionner automatiquement les fichiers ajoutés à la liste.</translation>
    </message>
    <message>
        <source>Save the playlist when quit</source>
        <translation>Enregistrer la liste de lecture en quittant</translation>
    </message>
    <message>
        <source>Check in order to save the playlist whent quit<byte value="xd"/>
and to restore it at next launch</source>
        <translation>Cochez pour enregistrer la liste de lecture en quittant<byte value="xd"/>
et la retrouver au prochain lancement</translation>
    </message>
    <message>
        <source>Preview DV in half size.</source>
        <translation>Aperçu DV en demi-taille.</translation>
    </message>
    <message>
        <source>If checked, the video DV will be previewed in half size. (Recommended)<byte value="xd"/>
Useful to avoid interlacing, but the image will be less sharp in full screen mode.</source>
        <translation>Si cochée, la vidéo DV est affichée en demi-taille. (Recommandé)<byte value="xd"/>
Évite l&apos;entrelacement, mais l&apos;image sera moins nette en plein écran.</translation>
    </message>
    <message>
        <source>DV Frequency</source>
        <translation>Fréquence DV</translation>
    </message>
    <message>
        <source>frequency of audio when converting an AVI file into DV type 2</source>
        <translation>fréquence du son lors de la conversion d&apos;un fichier AVI en DV type 2</translation>
    </message>
    <message>
        <source>Default Standard</source>
        <translation>Standard par défaut</translation>
    </message>
    <message>
        <source>TV Standard used to convert non-DV avi files to DV type 2</source>
        <translation>Standard TV utilisé pour convertir les fichiers AVI non DV en DV type 2</translation>
    </message>
    <message>
        <source>Scene files (scn)</source>
        <translation>Fichiers de scènes (scn)</translation>
    </message>
    <message>
        <source>Type 1 (ANSI)</source>
        <translation>Type 1 (ANSI)</translation>
    </message>
    <message>
        <source>Type 2 (unicode)</source>
        <translation>Type 2 (Unicode)</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Modify the settings <byte value="xd"/>
     to manage the Preferences <byte value="xd"/>
     to change the TV standard used for recompression into DV type 2, <byte value="xd"/>
     and to change the behaviour of Kelvor.</source>
        <translation><byte value="xd"/>
Modifiez les paramètres<byte value="xd"/>
     pour gérer les préférences,<byte value="xd"/>
     pour changer le standard TV utilisé pour la recompression en DV type 2,<byte value="xd"/>
     et pour changer le comportement de Kelvor.</translation>
    </message>
    <message>
        <source>Command-line scripts are like: +switch or +switch=&quot;parameter&quot;.<byte value="xd"/>
Put parameters between double quotes, and no blank before or after =. But put a blank space between two commands on the same line.<byte value="xd"/>
The + may be replaced by - or /.</source>
        <translation>Les scripts en ligne de commande ont la forme : +option ou +option=&quot;paramètre&quot;.<byte value="xd"/>
Mettez les paramètres entre guillemets droits, sans espace avant ni après =. Mais mettez une espace entre deux commandes sur la même ligne.<byte value="xd"/>
Le + peut être remplacé par - ou /.</translation>
    </message>
    <message>
        <source>Sort by keyboard shortcuts</source>
        <translation>Trier par raccourcis clavier</translation>
    </message>
    <message>
        <source>Toggle between the keys and command names to sort alphabetically</source>
        <translation>Trier par ordre alphabétique des touches ou des noms de commande</translation>
    </message>
    <message>
        <source><byte value="xd"/>
  * Choose the formats of datecode: For example<byte value="xd"/>
yyyy mmmm dd hh:nn:ss gives &apos;2006 march 12 15:46:37&apos;<byte value="xd"/>
dddddd gives &apos;sunday 2006 march 12&apos; or ddddd gives &apos;06/03/12&apos;<byte value="xd"/>
One may add text in double quotes, for example:<byte value="xd"/>
&quot;A &quot;dddd &quot; of &quot;mmmm gives &apos;A sunday of march&apos;<byte value="xd"/>
  * The format for renaming à la Scenalyser is by default<byte value="xd"/>
yyyymmdd_hh.nn.ss   with a root like ClipDV&apos;<byte value="xd"/>
  * Inlay of datecode is similarly defined on 2 lines,<byte value="xd"/>
but one line may stay empty if you want all data on a single line.</source>
        <translation><byte value="xd"/>
  * Choisissez les formats du datecode : par exemple<byte value="xd"/>
yyyy mmmm dd hh:nn:ss donne &apos;2006 mars 12 15:46:37&apos;<byte value="xd"/>
dddddd donne &apos;dimanche 12 mars 2006&apos; ou ddddd donne &apos;12/03/06&apos;<byte value="xd"/>
On peut ajouter du texte entre guillemets, par exemple :<byte value="xd"/>
&quot;Un &quot;dddd &quot; de &quot;mmmm donne &apos;Un dimanche de mars&apos;<byte value="xd"/>
  * Le format pour renommer à la Scenalyser est par défaut<byte value="xd"/>
yyyymmdd_hh.nn.ss   avec une racine comme ClipDV<byte value="xd"/>
  * L&apos;incrustation du datecode se définit de même sur 2 lignes,<byte value="xd"/>
mais une ligne peut rester vide si vous voulez tout sur une seule ligne.</translation>
    </message>
    <message>
        <source>Rename à la  Scenalyser</source>
        <translation>Renommer à la Scenalyser</translation>
    </message>
    <message>
        <source>Rootname used to build the video name<byte value="xd"/>
in Scenalyser style</source>
        <translation>Racine utilisée pour construire le nom de la vidéo<byte value="xd"/>
à la manière de Scenalyser</translation>
    </message>
    <message>
        <source>Rootname used to rename</source>
        <translation>Racine utilisée pour renommer</translation>
    </message>
    <message>
        <source>Format used to add the datecode to the rootname<byte value="xd"/>
in Scenalyser style</source>
        <translation>Format utilisé pour ajouter le datecode à la racine<byte value="xd"/>
à la manière de Scenalyser</translation>
    </message>
    <message>
        <source>Format for renaming</source>
        <translation>Format pour renommer</translation>
    </message>
    <message>
        <source>Formats of datecode</source>
        <translation>Formats du datecode</translation>
    </message>
    <message>
        <source>Format used by the command &quot;Add datecode&quot;<byte value="xd"/>
for example   yyyy mmmm ddddd hh:nn:ss</source>
        <translation>Format utilisé par la commande « Ajouter le datecode »<byte value="xd"/>
par exemple   yyyy mmmm ddddd hh:nn:ss</translation>
    </message>
    <message>
        <source>Format used to add the datecode</source>
        <translation>Format pour ajouter le datecode</translation>
    </message>
    <message>
        <source>Format used to display the datecode among informations about<byte value="xd"/>
the selected file. <byte value="xd"/>
For example ddddd hh:nn:ss</source>
        <translation>Format utilisé pour afficher le datecode parmi les informations<byte value="xd"/>
sur le fichier sélectionné.<byte value="xd"/>
Par exemple ddddd hh:nn:ss</translation>
    </message>
    <message>
        <source>Format to display datecode</source>
        <translation>Format pour afficher le datecode</translation>
    </message>
    <message>
        <source>Add before the filename</source>
        <translation>Ajouter avant le nom du fichier</translation>
    </message>
    <message>
        <source>If checked, then the commands &quot;Add timecode&quot; and &quot;Add datecode&quot;<byte value="xd"/>
will put this data before the filename, otherwise after it.</source>
        <translation>Si cochée, les commandes « Ajouter le timecode » et « Ajouter le datecode »<byte value="xd"/>
mettent cette donnée avant le nom du fichier, sinon après.</translation>
    </message>
    <message>
        <source>Format used to inlay the datecode on the first line.<byte value="xd"/>
For example &quot;dd-mm-yy&quot; to display only the date.</source>
        <translation>Format utilisé pour incruster le datecode sur la première ligne.<byte value="xd"/>
Par exemple « dd-mm-yy » pour n&apos;afficher que la date.</translation>
    </message>
    <message>
        <source>Inlay line 1</source>
        <translation>Incrustation ligne 1</translation>
    </message>
    <message>
        <source>Format used to inlay the datecode on the second line.<byte value="xd"/>
For example &quot;hh:nn:ss&quot; to display only the time.</source>
        <translation>Format utilisé pour incruster le datecode sur la deuxième ligne.<byte value="xd"/>
Par exemple « hh:nn:ss » pour n&apos;afficher que l&apos;heure.</translation>
    </message>
    <message>
        <source>Inlay line 2</source>
        <translation>Incrustation ligne 2</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Choose the default folders for opening files with<byte value="xd"/>
the Open command (CTRL+O) or for the preferred folder (F7).<byte value="xd"/>
<byte value="xd"/>
Indicate also if the files created by conversion shall be<byte value="xd"/>
created in the same folder, or, if not, in which one.</source>
        <translation><byte value="xd"/>
Choisissez les dossiers par défaut pour ouvrir les fichiers avec<byte value="xd"/>
la commande Ouvrir (CTRL+O) ou pour le dossier préféré (F7).<byte value="xd"/>
<byte value="xd"/>
Indiquez aussi si les fichiers créés par conversion doivent être<byte value="xd"/>
créés dans le même dossier, ou sinon dans lequel.</translation>
    </message>
    <message>
        <source>Folders for opening videos</source>
        <translation>Dossiers d&apos;ouverture des vidéos</translation>
    </message>
    <message>
        <source>Default folder for opening videos</source>
        <translation>Dossier par défaut pour ouvrir les vidéos</translation>
    </message>
    <message>
        <source>Default folder to open files.</source>
        <translation>Dossier par défaut pour ouvrir les fichiers.</translation>
    </message>
    <message>
        <source>Preferred folder ( to be opened with F7)</source>
        <translation>Dossier préféré (ouvert avec F7)</translation>
    </message>
    <message>
        <source>&quot;Prefered&quot; Folder: it&apos;s a folder from which all AVI files<byte value="xd"/>
may be openend by F7 or by a clic on the button with heart.</source>
        <translation>Dossier « préféré » : un dossier dont tous les fichiers AVI<byte value="xd"/>
peuvent être ouverts par F7 ou par un clic sur le bouton au cœur.</translation>
    </message>
    <message>
        <source>Default folder for the PlayLists </source>
        <translation>Dossier par défaut des listes de lecture</translation>
    </message>
    <message>
        <source>Folder to save the playlist.</source>
        <translation>Dossier où enregistrer la liste de lecture.</translation>
    </message>
    <message>
        <source>Where to save the files created by conversion</source>
        <translation>Où enregistrer les fichiers créés par conversion</translation>
    </message>
    <message>
        <source>Convert in the same folder</source>
        <translation>Convertir dans le même dossier</translation>
    </message>
    <message>
        <source>If checked, then all files produced by conversion will be created in the same folder<byte value="xd"/>
than the source file. If not, they will be created in the folder below.<byte value="xd"/>
Note that scn files will always be in the same folder, even if this box<byte value="xd"/>
is not checked.</source>
        <translation>Si cochée, tous les fichiers produits par conversion sont créés dans le même dossier<byte value="xd"/>
que le fichier source. Sinon, ils sont créés dans le dossier ci-dessous.<byte value="xd"/>
Les fichiers scn sont toujours dans le même dossier, même si cette case<byte value="xd"/>
n&apos;est pas cochée.</translation>
    </message>
    <message>
        <source>Convert in the following folder:</source>
        <translation>Convertir dans le dossier suivant :</translation>
    </message>
    <message>
        <source>Folder for storing the files.</source>
        <translation>Dossier où ranger les fichiers.</translation>
    </message>
    <message>
        <source>Choose the font for inlay of datecode. The default font<byte value="xd"/>
with white color seems to give the best results.</source>
        <translation>Choisissez la police de l&apos;incrustation du datecode. La police par défaut<byte value="xd"/>
en blanc semble donner les meilleurs résultats.</translation>
    </message>
    <message>
        <source>Default size</source>
        <translation>Taille par défaut</translation>
    </message>
    <message>
        <source>Check if you want the Font size of inlay text to be set automatically,<byte value="xd"/>
according to the image size of video (Recommended).</source>
        <translation>Cochez pour que la taille du texte incrusté soit réglée automatiquement<byte value="xd"/>
selon la taille de l&apos;image de la vidéo (Recommandé).</translation>
    </message>
    <message>
        <source>To sharpen the contrast of the inlay in front of the picture,<byte value="xd"/>
set the size of a black border around the inlayed text.<byte value="xd"/>
Set 0 if you don&apos;t want a border.</source>
        <translation>Pour renforcer le contraste de l&apos;incrustation sur l&apos;image,<byte value="xd"/>
réglez la taille d&apos;une bordure noire autour du texte incrusté.<byte value="xd"/>
Mettez 0 si vous ne voulez pas de bordure.</translation>
    </message>
    <message>
        <source>Border</source>
        <translation>Bordure</translation>
    </message>
    <message>
        <source>Alignment</source>
        <translation>Alignement</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Gauche</translation>
    </message>
    <message>
        <source>Centered</source>
        <translation>Centré</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Droite</translation>
    </message>
    <message>
        <source>Set the alignment of the inlayed text.<byte value="xd"/>
useful when inserting the datecode on two lines.</source>
        <translation>Réglez l&apos;alignement du texte incrusté,<byte value="xd"/>
utile pour incruster le datecode sur deux lignes.</translation>
    </message>
    <message>
        <source>What?</source>
        <translation>Quoi ?</translation>
    </message>
    <message>
        <source>Datecode</source>
        <translation>Datecode</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>One may inlay datecode or timecode.</source>
        <translation>On peut incruster le datecode ou le timecode.</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>automatique</translation>
    </message>
    <message>
        <source>If checked, then inlay is automatically activated for a given duration<byte value="xd"/>
each time when an event (set in &quot;Mode auto&quot;) happens.<byte value="xd"/>
By default, 5 seconds at each new scene</source>
        <translation>Si cochée, l&apos;incrustation s&apos;active automatiquement pendant une durée donnée<byte value="xd"/>
à chaque événement (choisi dans « Mode auto »).<byte value="xd"/>
Par défaut, 5 secondes à chaque nouvelle scène</translation>
    </message>
    <message>
        <source>Mode Auto</source>
        <translation>Mode auto</translation>
    </message>
    <message>
        <source>once</source>
        <translation>une fois</translation>
    </message>
    <message>
        <source>scene</source>
        <translation>scène</translation>
    </message>
    <message>
        <source>daily</source>
        <translation>chaque jour</translation>
    </message>
    <message>
        <source>In Auto mode, inlay is made during a given duration<byte value="xd"/>
either once<byte value="xd"/>
or at each new scene<byte value="xd"/>
or at each new day</source>
        <translation>En mode auto, l&apos;incrustation dure un temps donné<byte value="xd"/>
soit une seule fois<byte value="xd"/>
soit à chaque nouvelle scène<byte value="xd"/>
soit à chaque nouveau jour</translation>
    </message>
    <message>
        <source>Duration in seconds of automatic inlay of datecode<byte value="xd"/>
 each scene change (only for DV videos)</source>
        <translation>Durée en secondes de l&apos;incrustation automatique du datecode<byte value="xd"/>
à chaque changement de scène (vidéos DV seulement)</translation>
    </message>
    <message>
        <source>duration in seconds</source>
        <translation>durée en secondes</translation>
    </message>
    <message>
        <source>Time difference</source>
        <translation>Décalage horaire</translation>
    </message>
    <message>
        <source>Click to change the time difference</source>
        <translation>Cliquez pour changer le décalage horaire</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Set the parameters of inlay<byte value="xd"/>
while playing the DV videos or<byte value="xd"/>
while creating video files by conversion<byte value="xd"/>
with the Inlay command (CTRL+I) of the<byte value="xd"/>
 menu Convert.<byte value="xd"/>
<byte value="xd"/>
To modify the position of<byte value="xd"/>
inlay, click on the corner at the bottom<byte value="xd"/>
right of the video, or click on the video<byte value="xd"/>
with the right mouse button, or type ALT+I.<byte value="xd"/>
This will display sliders for changing<byte value="xd"/>
the position.<byte value="xd"/>
<byte value="xd"/>
To modify the format of dates and<byte value="xd"/>
times, (that can be put on two lines)<byte value="xd"/>
go to the tab Formats, and set the<byte value="xd"/>
formats in &quot;Inlay line 1&quot; or &quot;Inlay line 2&quot;</source>
        <translation><byte value="xd"/>
Réglez l&apos;incrustation<byte value="xd"/>
pendant la lecture des vidéos DV ou<byte value="xd"/>
à la création de fichiers par conversion<byte value="xd"/>
avec la commande Incruster (CTRL+I) du<byte value="xd"/>
menu Convertir.<byte value="xd"/>
<byte value="xd"/>
Pour modifier la position de<byte value="xd"/>
l&apos;incrustation, cliquez dans le coin en bas<byte value="xd"/>
à droite de la vidéo, ou cliquez sur la vidéo<byte value="xd"/>
avec le bouton droit, ou tapez ALT+I.<byte value="xd"/>
Des curseurs apparaissent alors pour<byte value="xd"/>
changer la position.<byte value="xd"/>
<byte value="xd"/>
Pour modifier le format des dates et<byte value="xd"/>
des heures (sur une ou deux lignes),<byte value="xd"/>
allez dans l&apos;onglet Formats et réglez<byte value="xd"/>
« Incrustation ligne 1 » ou « Incrustation ligne 2 »</translation>
    </message>
    <message>
        <source>Varnolt file to be launched with F2</source>
        <translation>Programme Varnolt lancé avec F2</translation>
    </message>
    <message>
        <source>Select the program file for Varnolt<byte value="xd"/>
to be launched with F2 to extract images from the selected video.</source>
        <translation>Choisissez le programme Varnolt<byte value="xd"/>
lancé avec F2 pour extraire des images de la vidéo sélectionnée.</translation>
    </message>
    <message>
        <source>Choose a program <byte value="xd"/>
to be launched by F%1 with the selected AVI files.<byte value="xd"/>
For example a media player, or a video editor...</source>
        <translation>Choisissez un programme<byte value="xd"/>
lancé par F%1 avec les fichiers AVI sélectionnés.<byte value="xd"/>
Par exemple un lecteur multimédia ou un logiciel de montage...</translation>
    </message>
    <message>
        <source>Application launched with F3</source>
        <translation>Application lancée avec F3</translation>
    </message>
    <message>
        <source>Application launched with F4</source>
        <translation>Application lancée avec F4</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Open quickly the selected avi files in your favorite video applications:<byte value="xd"/>
Set the path and filename of the Varnolt file to be launched with F2 as well as two applications to be launched with F3 and F4.</source>
        <translation><byte value="xd"/>
Ouvrez rapidement les fichiers AVI sélectionnés dans vos applications vidéo préférées :<byte value="xd"/>
indiquez le chemin du programme Varnolt lancé avec F2 ainsi que deux applications lancées avec F3 et F4.</translation>
    </message>
    <message>
        <source>Functions</source>
        <translation>Fonctions</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Touches</translation>
    </message>
    <message>
        <source>Switch</source>
        <translation>Option</translation>
    </message>
    <message>
        <source>Programs</source>
        <translation>Programmes</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::TimeShiftDialog</name>
    <message>
        <source>%1 days %2h %3m %4s</source>
        <translation>%1 jours %2h %3m %4s</translation>
    </message>
    <message>
        <source>Fix a time difference</source>
        <translation>Corriger un décalage horaire</translation>
    </message>
    <message>
        <source>Hours:</source>
        <translation>Heures :</translation>
    </message>
    <message>
        <source>You may add or substract an integer number of hours <byte value="xd"/>
in order to fix a time difference or a summer/winter time<byte value="xd"/>
(between -23 and +23)</source>
        <translation>Vous pouvez ajouter ou retrancher un nombre entier d&apos;heures<byte value="xd"/>
pour corriger un décalage horaire ou l&apos;heure d&apos;été/d&apos;hiver<byte value="xd"/>
(entre -23 et +23)</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Avancé</translation>
    </message>
    <message>
        <source><byte value="xd"/>
<byte value="xd"/>
To modify the datecode inside the DV frames by a custom delay, not necessarily an integer number of hours, check the box &quot;Advanced&quot;.<byte value="xd"/>
<byte value="xd"/>
Remember that the modified datecode will be used for inlay, for fixing a time difference, or for renaming files with the datecode, but not for the current datecode displayed among the avi data, which will always display the true datecode found in the frames.</source>
        <translation><byte value="xd"/>
<byte value="xd"/>
Pour modifier le datecode dans les images DV d&apos;un décalage quelconque, pas forcément un nombre entier d&apos;heures, cochez la case « Avancé ».<byte value="xd"/>
<byte value="xd"/>
Le datecode modifié sert à l&apos;incrustation, à la correction d&apos;un décalage horaire et au renommage des fichiers avec le datecode, mais pas au datecode affiché parmi les informations du fichier AVI, qui reste toujours le vrai datecode trouvé dans les images.</translation>
    </message>
    <message>
        <source>Original</source>
        <translation>Original</translation>
    </message>
    <message>
        <source>Date and time of the tape</source>
        <translation>Date et heure de la cassette</translation>
    </message>
    <message>
        <source>Fixed</source>
        <translation>Corrigé</translation>
    </message>
    <message>
        <source>Fixed date and time</source>
        <translation>Date et heure corrigées</translation>
    </message>
    <message>
        <source>Original = Fixed</source>
        <translation>Original = Corrigé</translation>
    </message>
    <message>
        <source>Set the fixed date and time equal to the original.<byte value="xd"/>
It is then convenient to add a time difference.</source>
        <translation>Rendre la date et l&apos;heure corrigées égales à l&apos;original.<byte value="xd"/>
Il est alors facile d&apos;ajouter un décalage horaire.</translation>
    </message>
    <message>
        <source>Difference between fixed time and original time</source>
        <translation>Écart entre l&apos;heure corrigée et l&apos;heure d&apos;origine</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Apply the modification and close the window</source>
        <translation>Appliquer la modification et fermer la fenêtre</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Close this window without modification</source>
        <translation>Fermer cette fenêtre sans modification</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::WelcomeFrame</name>
    <message>
        <source>Drag and drop one or several files to this window.<byte value="xd"/>
<byte value="xd"/>You may also open or paste files with the toolbar buttons.<byte value="xd"/>
<byte value="xd"/>Open all DV video files from your computer with Ctrl+F7.<byte value="xd"/>
<byte value="xd"/>Only DV video files (.avi, .dv, .dif, .mov, .mkv) will be processed. <byte value="xd"/>
<byte value="xd"/>Type F10 to modify Settings, F1 to see About. The list of available commands with all keyboard shortcuts is in the Settings panel (F10).</source>
        <translation>Glissez-déposez un ou plusieurs fichiers dans cette fenêtre.<byte value="xd"/>
<byte value="xd"/>Vous pouvez aussi ouvrir ou coller des fichiers avec les boutons de la barre d&apos;outils.<byte value="xd"/>
<byte value="xd"/>Ouvrez tous les fichiers vidéo DV de votre ordinateur avec Ctrl+F7.<byte value="xd"/>
<byte value="xd"/>Seuls les fichiers vidéo DV (.avi, .dv, .dif, .mov, .mkv) sont traités.<byte value="xd"/>
<byte value="xd"/>Tapez F10 pour modifier les paramètres, F1 pour « À propos ». La liste des commandes disponibles avec tous leurs raccourcis clavier est dans le panneau des paramètres (F10).</translation>
    </message>
    <message>
        <source>This program is not for camels!</source>
        <translation>Ce programme n&apos;est pas pour les chameaux !</translation>
    </message>
</context>
<context>
    <name>kelvor::ui::WindowHost</name>
    <message>
        <source>stopped; the part written so far stays in %1 (%2)</source>
        <translation>arrêté ; la partie déjà écrite reste dans %1 (%2)</translation>
    </message>
</context>
</TS>
