#!/usr/bin/env python3
"""Writes the sample project (resources/sample/): a help project in French
that documents KivHelp itself, in the program's own file formats."""
import os

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "sample")

def rtf_text(s):
    out = []
    for ch in s:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ord(ch) < 128:
            out.append(ch)
        else:
            out.append("\\'%02x" % ch.encode("cp1252")[0])
    return "".join(out)

def context(name):
    return name.replace(" ", "_").replace("'", "\\'")

# (topic name, level, paragraphs); a paragraph is a list of runs: a plain
# string, or ("jump", shown text, target topic), or ("bmp", file name).
TOPICS = [
    ("Kivhelp", 1, [
        ["Bienvenue dans KivHelp, l'atelier de fichiers d'aide Windows."],
        ["KivHelp garde un projet d'aide : un arbre de pages rédigées en texte enrichi, avec des sauts "
         "entre les pages, des images et des appels de programmes. Il écrit les sources du compilateur "
         "d'aide, lance la compilation et publie le fichier .HLP."],
        [("bmp", "kivlogo.bmp")],
        ["Pour commencer : ", ("jump", "Premiers pas", "Premiers pas"), "."],
        ["Les menus : ", ("jump", "Fichier", "Le menu Fichier"), ", ", ("jump", "Edition", "Le menu Edition"),
         ", ", ("jump", "Configurer et compiler", "Le menu Configurer Compiler"), "."],
        ["Pour aller plus loin : ", ("jump", "les fichiers d'un projet", "Les fichiers d'un projet"), "."],
    ]),
    ("Premiers pas", 2, [
        ["1. Créez un projet avec le bouton Nouveau projet ou Ctrl+N, et donnez-lui un nom."],
        ["2. Tapez le nom d'une page dans le champ « Saisir le nom de la page ici » puis Entrée."],
        ["3. Cliquez la page dans l'arbre et écrivez son texte. Chaque élément de l'arbre est une page."],
        ["4. Sauvegardez avec Ctrl+S, puis construisez l'aide : ",
         ("jump", "Construire le fichier d'aide", "Construire le fichier d'aide"), "."],
    ]),
    ("Le menu Fichier", 2, [
        ["Ouvrir, créer, sauvegarder, fermer et effacer un projet. Les trois derniers projets ouverts "
         "sont proposés en bas du menu."],
        ["Une copie de secours du projet est gardée dans le répertoire .OLD, voir ",
         ("jump", "Les paramètres", "Les paramètres"), "."],
    ]),
    ("Le menu Edition", 2, [
        ["Couper, copier, coller, chercher et remplacer dans la page courante."],
        ["La recherche peut respecter la casse, chercher des mots entiers, vers le haut ou vers le bas."],
    ]),
    ("Le menu Configurer Compiler", 2, [
        ["Configuration du Programme : le compilateur, le répertoire des images, la période de sauvegarde."],
        ["Configuration du Projet : le titre, le copyright, la compression et les couleurs de l'aide."],
        ["Création et visualisation du fichier d'aide : ",
         ("jump", "Construire le fichier d'aide", "Construire le fichier d'aide"), "."],
    ]),
    ("Les barres d'outils", 2, [
        ["La première barre reprend les commandes de projet et de page ; la seconde règle la couleur, "
         "la fonte, la taille, le gras, l'italique, le souligné et l'alignement du texte."],
        ["Le bouton droit de la souris ouvre le menu contextuel : création directe de page, saut, "
         "plein écran, fonte et couleur du texte."],
    ]),
    ("Insérer une image", 3, [
        ["Placez le curseur sans sélectionner de texte, puis cliquez le bouton Image et choisissez un "
         "fichier .BMP. Une image prise ailleurs est copiée dans le répertoire des images."],
        ["La page montre une marque verte ; le compilateur d'aide y met l'image."],
    ]),
    ("Insérer un saut", 3, [
        ["Sélectionnez le texte du lien, cliquez le bouton Saut et tapez le nom de la page visée. "
         "Le début du nom suffit."],
        ["Création rapide : sélectionnez un texte et le bouton Création rapide de page crée la page "
         "de ce nom et le saut vers elle."],
    ]),
    ("Lancer un programme", 3, [
        ["Sélectionnez un texte, cliquez le bouton Programme et choisissez le programme : dans l'aide, "
         "un clic sur le texte le lancera."],
    ]),
    ("Les titres des pages", 2, [
        ["Le bouton Titres règle l'ajout d'un titre en haut de chaque page, sa fonte et sa taille, "
         "pour toutes les pages ou pour la page courante."],
    ]),
    ("Les paramètres", 2, [
        ["Les paramètres du programme sont gardés dans kivhelp.INI, dans le répertoire de configuration "
         "de l'utilisateur. La période de sauvegarde dit tous les combien d'enregistrements le projet "
         "est recopié dans son répertoire .OLD."],
    ]),
    ("Construire le fichier d'aide", 2, [
        ["Creation du fichier d'Aide HLP sauvegarde le projet, écrit une source RTF par page (T1.rtf, "
         "T2.rtf ...), le fichier projet .HPJ et, au choix, le sommaire .CNT, puis lance le compilateur."],
        ["Le fichier .HLP compilé est publié dans le répertoire .COM du projet, d'où la Visualisation "
         "l'ouvre dans le visualiseur d'aide, qui envoie aussi les pages aux imprimantes du poste."],
    ]),
    ("Les fichiers d'un projet", 2, [
        ["NOM.PRJ : l'arbre des pages. NOM.n : le texte de la page n. NOM.CFG et NOM.FNT : les "
         "paramètres et les fontes des titres. NOM.CDE : les commandes des sauts, images et programmes."],
        ["NOM.HPJ, NOM.CNT, Tn.rtf : les sources du compilateur. NOM.COM : le fichier d'aide publié. "
         "NOM.OLD : la copie de secours."],
    ]),
]

def main():
    commands = []
    def command(line):
        if line not in commands:
            commands.append(line)
        return commands.index(line)

    prj = os.path.join(ROOT, "Kivhelp")
    os.makedirs(prj, exist_ok=True)
    os.makedirs(os.path.join(ROOT, "BMP"), exist_ok=True)
    outline = []
    for n, (name, level, paragraphs) in enumerate(TOPICS, start=1):
        outline.append("\t" * (level - 1) + name)
        # Faces every reader has: Arial for the text, Times New Roman for
        # the titles.
        lines = ["{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                 "{\\f1\\froman\\fcharset0 Times New Roman;}}",
                 "{\\colortbl ;\\red0\\green128\\blue0;\\red0\\green0\\blue128;}"]
        title = "\\deflang1036\\pard\\qc\\plain\\f1\\fs32\\b\\cf2 " + rtf_text(name) + "\\par"
        lines.append(title)
        for para in paragraphs:
            out = "\\pard"
            for run in para:
                if isinstance(run, str):
                    out += "\\plain\\f0\\fs26 " + rtf_text(run)
                elif run[0] == "jump":
                    k = command("{\\uldb " + rtf_text(run[1]) + "}{\\v " + context(run[2]) + "}")
                    out += "\\plain\\f0\\fs26\\cf1 " + rtf_text("@_%d_%s_@" % (k, context(run[1])))
                else:
                    k = command("\\{bmc " + run[1] + "\\}")
                    out += "\\plain\\f0\\fs26\\cf1 " + rtf_text("@_%d_%s_@" % (k, context(run[1])))
            lines.append(out + "\\par")
        lines.append("}")
        with open(os.path.join(prj, "%s.%d" % (name, n)), "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("cp1252"))
    with open(os.path.join(prj, "Kivhelp.PRJ"), "wb") as f:
        f.write(("\r\n".join(outline) + "\r\n").encode("cp1252"))
    with open(os.path.join(prj, "Kivhelp.CDE"), "wb") as f:
        f.write(("\r\n".join(commands) + "\r\n").encode("cp1252"))
    with open(os.path.join(prj, "Kivhelp.CFG"), "wb") as f:
        f.write("[Param]\r\nAddTitle=0\r\nSameTitleFont=1\r\nProjectTitle=Aide de KivHelp\r\n"
                "Copyright=KivHelp - aide du programme\r\nHelpCompress=NO\r\nBkColor=16777215\r\n"
                "TitleColor=16777215\r\n".encode("cp1252"))

if __name__ == "__main__":
    main()
